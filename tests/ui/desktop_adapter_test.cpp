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

TEST(QtDesktop, PassesTheNativeFileNameAndTheUrlAsTheRecordHasThem) {
    UrlCatcher catcher;
    for (auto scheme : {QStringLiteral("http"), QStringLiteral("file")})
        QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    platform::qt::QtDesktop desktop;
    desktop.OpenInDefaultApp(std::filesystem::path("/tmp/data/\xE6\xA9\x9F\xE5\x99\xA8R1.txt"));
    desktop.OpenUrl("http://127.0.0.5:");
    desktop.OpenUrl(text::sj("http://127.0.0.5:80/機器"));
    for (auto scheme : {QStringLiteral("http"), QStringLiteral("file")})
        QDesktopServices::unsetUrlHandler(scheme);

    ASSERT_EQ(catcher.urls.size(), 3);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), QString::fromUtf8("/tmp/data/機器R1.txt"));
    EXPECT_EQ(catcher.urls[1].host(), QStringLiteral("127.0.0.5"));
    EXPECT_EQ(catcher.urls[2].path(), QString::fromUtf8("/機器"));
}

TEST(QtDesktop, ARelativeFileNameMeansTheFileInTheCurrentFolder) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    platform::qt::QtDesktop desktop;
    const std::filesystem::path cwd = std::filesystem::current_path();
    EXPECT_TRUE(desktop.OpenInDefaultApp(std::filesystem::path("defalt.txt")));
    EXPECT_TRUE(desktop.OpenInDefaultApp(std::filesystem::path("sub/set.txt")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    ASSERT_EQ(catcher.urls.size(), 2);
    for (const QUrl& url : catcher.urls)
        EXPECT_TRUE(url.isLocalFile()) << url.toString().toStdString();
    EXPECT_EQ(catcher.urls[0].toLocalFile(), QString::fromStdString((cwd / "defalt.txt").native()));
    EXPECT_EQ(catcher.urls[1].toLocalFile(),
              QString::fromStdString((cwd / "sub/set.txt").native()));
}

}  // namespace

#include "desktop_adapter_test.moc"
