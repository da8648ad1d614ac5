// What the Qt desktop adapter hands to the desktop: a URL handler stands in for xdg-open.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include "platform/qt/qt_desktop.h"
#include "text/cp932.h"

namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class QtDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* scheme : {"http", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &m_catcher, "open");
    }
    void TearDown() override {
        for (const char* scheme : {"http", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    UrlCatcher m_catcher;
    platform::qt::QtDesktop m_desktop;
};

TEST_F(QtDesktopTest, PassesTheNativeFileNameAndTheUrlAsTheRecordHasThem) {
    m_desktop.OpenInDefaultApp(std::filesystem::path("/tmp/data/\xE6\xA9\x9F\xE5\x99\xA8R1.txt"));
    m_desktop.OpenUrl("http://127.0.0.5:");
    m_desktop.OpenUrl(text::sj("http://127.0.0.5:80/機器"));
    ASSERT_EQ(m_catcher.urls.size(), 3);
    EXPECT_EQ(m_catcher.urls[0].toLocalFile(), QString::fromUtf8("/tmp/data/機器R1.txt"));
    EXPECT_EQ(m_catcher.urls[1].host(), QStringLiteral("127.0.0.5"));
    EXPECT_EQ(m_catcher.urls[1].port(), -1);
    EXPECT_EQ(m_catcher.urls[2].path(), QString::fromUtf8("/機器"));
}

}  // namespace

#include "desktop_adapter_test.moc"
