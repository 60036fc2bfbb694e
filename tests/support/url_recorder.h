// Records the addresses the program hands to the system, instead of starting a
// browser or another handler.
#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

namespace tolvar::test {

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() {
        for (const char *scheme : {"http", "https", "file"}) QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlRecorder() override {
        for (const char *scheme : {"http", "https", "file"}) QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

}  // namespace tolvar::test
