// The three help pages that ship beside the program, as the help window's browser shows them:
// loadable, with text and no markup left over, their links leading to pages and anchors that exist.
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <gtest/gtest.h>
#include <map>

namespace {

TEST(ShippedPages, LoadWithTheirContentAndLinksThatResolve)
{
    const QStringList shipped = {"about.htm", "user_guide.htm", "ap_agreement.htm"};
    const QString pages = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../../src/help/pages/";  // from tests/help
    std::map<QString, QStringList> anchors;       // the anchor names on each page
    std::vector<std::pair<QUrl, QString>> links;  // where each link leads, and the link as written
    for (const QString& name : shipped) {
        SCOPED_TRACE(name.toStdString());
        QTextBrowser page;
        page.setSource(QUrl::fromLocalFile(pages + name));
        const QString text = page.toPlainText().replace(QChar::Nbsp, u' ');
        EXPECT_GT(text.simplified().size(), 200);
        EXPECT_FALSE(text.contains(QRegularExpression("&#?[A-Za-z0-9]+;|<[A-Za-z/!][^>]*>"))) << text.toStdString();
        QString last;  // a link drawn in several fragments counts once
        for (QTextBlock b = page.document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                anchors[name] += f.anchorNames();
                if (f.isAnchor() && !f.anchorHref().isEmpty() && std::exchange(last, f.anchorHref()) != f.anchorHref())
                    links.emplace_back(page.source().resolved(QUrl(f.anchorHref())), f.anchorHref());
            }
    }
    EXPECT_GE(links.size(), 3u);
    for (const auto& [target, href] : links) {
        const QString file = QFileInfo(target.toLocalFile()).fileName();
        // The help is read offline: every link leads to a shipped page, and to an anchor it has.
        EXPECT_TRUE(target.isLocalFile() && shipped.contains(file) && QFileInfo(target.toLocalFile()).isFile()) << href.toStdString();
        EXPECT_TRUE(!target.hasFragment() || anchors[file].contains(target.fragment())) << href.toStdString();
    }
}

} // namespace
