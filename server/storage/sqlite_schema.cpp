// The tables on SQLite. Version 1 is the form databases had before the
// schema was versioned: its statements only add what is missing, so such a
// database keeps its rows and is marked version 1.
#include "server/storage/schemas.h"

namespace tolvar::server::storage {

const std::vector<SchemaVersion> &sqlite_schema() {
    static const std::vector<SchemaVersion> versions = {
        {1,
         // Members: the 6-digit member id, the mobile number (also the
         // password), who referred them, the free minutes left.
         "CREATE TABLE IF NOT EXISTS members ("
         " id INTEGER PRIMARY KEY CHECK (id BETWEEN 100000 AND 999999),"
         " number TEXT NOT NULL UNIQUE,"
         " referrer TEXT,"
         " minutes INTEGER NOT NULL,"
         " registered_at INTEGER NOT NULL);"
         "CREATE INDEX IF NOT EXISTS members_by_referrer ON members (referrer);"

         // The current voice code of a number being registered.
         "CREATE TABLE IF NOT EXISTS voice_codes ("
         " number TEXT PRIMARY KEY,"
         " code TEXT NOT NULL,"
         " referrer TEXT,"
         " expires_at INTEGER NOT NULL,"
         " wrong_attempts INTEGER NOT NULL DEFAULT 0);"

         // Every voice code that rang a phone, for the rate limits.
         "CREATE TABLE IF NOT EXISTS voice_requests ("
         " number TEXT NOT NULL,"
         " address TEXT NOT NULL,"
         " requested_at INTEGER NOT NULL);"
         "CREATE INDEX IF NOT EXISTS voice_requests_by_number ON voice_requests (number, requested_at);"
         "CREATE INDEX IF NOT EXISTS voice_requests_by_address ON voice_requests (address, requested_at);"
         "CREATE INDEX IF NOT EXISTS voice_requests_by_time ON voice_requests (requested_at);"

         // Sessions by cookie: the captcha last shown to it, and the member
         // once logged in.
         "CREATE TABLE IF NOT EXISTS sessions ("
         " token TEXT PRIMARY KEY,"
         " member_id INTEGER REFERENCES members (id),"
         " captcha TEXT,"
         " captcha_expires_at INTEGER,"
         " expires_at INTEGER NOT NULL) WITHOUT ROWID;"
         "CREATE INDEX IF NOT EXISTS sessions_by_expiry ON sessions (expires_at);"

         // Single-use tokens of the weekly claim link on the member page.
         "CREATE TABLE IF NOT EXISTS claim_tokens ("
         " token TEXT PRIMARY KEY,"
         " member_id INTEGER NOT NULL REFERENCES members (id),"
         " expires_at INTEGER NOT NULL) WITHOUT ROWID;"
         "CREATE INDEX IF NOT EXISTS claim_tokens_by_expiry ON claim_tokens (expires_at);"

         // One row per member and calendar week claimed.
         "CREATE TABLE IF NOT EXISTS weekly_claims ("
         " member_id INTEGER NOT NULL REFERENCES members (id),"
         " week INTEGER NOT NULL,"
         " claimed_at INTEGER NOT NULL,"
         " PRIMARY KEY (member_id, week));"

         // Friends added by the operator, beside the members a member referred.
         "CREATE TABLE IF NOT EXISTS friends ("
         " member_id INTEGER NOT NULL REFERENCES members (id),"
         " friend_id INTEGER NOT NULL REFERENCES members (id),"
         " PRIMARY KEY (member_id, friend_id));"

         "CREATE TABLE IF NOT EXISTS calls ("
         " id INTEGER PRIMARY KEY,"
         " member_id INTEGER NOT NULL REFERENCES members (id),"
         " number TEXT NOT NULL,"
         " address TEXT NOT NULL,"
         " placed_at INTEGER NOT NULL);"

         // The text of a message is kept as the GBK bytes that arrived.
         "CREATE TABLE IF NOT EXISTS messages ("
         " id INTEGER PRIMARY KEY,"
         " member_id INTEGER NOT NULL REFERENCES members (id),"
         " friend_id INTEGER NOT NULL REFERENCES members (id),"
         " number TEXT NOT NULL,"
         " body BLOB NOT NULL,"
         " sent_at INTEGER NOT NULL);"},
    };
    return versions;
}

}  // namespace tolvar::server::storage
