// Files for the program: whole reads, text reads through file numbers, folder
// creation, whole-content writes that replace a file at once, deletion. No
// file or path the program is given can stop it: what cannot be read reads
// as absent, what cannot be written leaves the file as it was.
#include "kernel/file_commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <map>
#include <memory>

#include "kernel/values.h"

namespace tolvar::kernel {

namespace {

constexpr qint64 kLargestFile = 64 << 20;

// A path as the program writes it: "\" separates like "/".
QString path_of(const tolvar_arg &a) { return text_arg(a).replace('\\', '/'); }

std::map<int32_t, std::unique_ptr<QFile>> &open_files() {
    static std::map<int32_t, std::unique_ptr<QFile>> files;
    return files;
}

QByteArray whole_file(QFile &file) {
    if (file.size() > kLargestFile) return {};
    return file.read(kLargestFile);
}

QByteArray read_whole(const QString &path) {
    if (!QFileInfo(path).isFile()) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return whole_file(file);
}

int32_t open_file(const QString &path) {
    if (!QFileInfo(path).isFile()) return 0;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) return 0;
    static int32_t last = 0;
    int32_t number = ++last;
    open_files()[number] = std::move(file);
    return number;
}

// The rest of an open file as a text: a text ends at its first zero byte. A
// positive `most` reads no further than that many bytes.
QByteArray read_text(int32_t number, int32_t most) {
    auto it = open_files().find(number);
    if (it == open_files().end()) return {};
    QByteArray bytes = most > 0 ? it->second->read(most) : whole_file(*it->second);
    qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

// The bytes of each argument after the path: a byte set's bytes, a text's bytes.
QByteArray content_of(int32_t count, const tolvar_arg *args) {
    QByteArray content;
    for (int32_t i = 1; i < count; ++i) {
        if (args[i].type == TOLVAR_TYPE_TEXT) {
            auto *text = static_cast<const char *>(tolvar_arg_pointer(args[i]));
            if (text) content.append(text);
        } else {
            content.append(bytes_arg(args[i]));
        }
    }
    return content;
}

// Written to a temporary file in the same folder, flushed to disk, then
// renamed over the old file.
bool replace_file(const QString &path, const QByteArray &content) {
    if (QFileInfo(path).isDir()) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

}  // namespace

bool is_file_command(uint32_t command) {
    return command >= TOLVAR_KCMD_READ_FILE && command <= TOLVAR_KCMD_DELETE_FILE;
}

tolvar_arg file_command(uint32_t command, int32_t count, const tolvar_arg *args) {
    tolvar_arg first = count > 0 ? args[0] : no_value();
    switch (command) {
        case TOLVAR_KCMD_READ_FILE: return bytes_value(read_whole(path_of(first)));
        case TOLVAR_KCMD_FILE_EXISTS: return bool_value(QFileInfo(path_of(first)).isFile());
        case TOLVAR_KCMD_OPEN_FILE: return int_value(open_file(path_of(first)));
        case TOLVAR_KCMD_READ_TEXT: return text_value_gbk(read_text(int_arg(first), count > 1 ? int_arg(args[1]) : 0));
        case TOLVAR_KCMD_CLOSE_FILE: open_files().erase(int_arg(first)); return no_value();
        case TOLVAR_KCMD_CREATE_FOLDER: return bool_value(QDir().mkpath(path_of(first)));
        case TOLVAR_KCMD_WRITE_FILE: return bool_value(replace_file(path_of(first), content_of(count, args)));
        case TOLVAR_KCMD_DELETE_FILE: {
            QString path = path_of(first);
            return bool_value(QFileInfo(path).isFile() && QFile::remove(path));
        }
        default: return no_value();
    }
}

void close_all_files() { open_files().clear(); }

}  // namespace tolvar::kernel
