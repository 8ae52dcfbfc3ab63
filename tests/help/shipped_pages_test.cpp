// The three help pages that ship beside the program, as the help window's browser shows them:
// loadable, their links leading to pages and anchors that exist, their content saying what it must.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <gtest/gtest.h>
#include <map>

namespace {

const QStringList kPages = {"about.htm", "user_guide.htm", "ap_agreement.htm"};

struct Loaded {
    explicit Loaded(const QString& name)
    {
        // tests/help/<this file> -> src/help/pages
        browser.setSource(QUrl::fromLocalFile(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../../src/help/pages/" + name));
    }
    QString text() const { return browser.toPlainText().replace(QChar::Nbsp, u' '); }
    template <class Visit> void forEachFormat(Visit visit) const
    {
        for (QTextBlock b = browser.document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                visit(it.fragment().charFormat());
    }
    QTextBrowser browser;
};

TEST(ShippedPages, LoadWithTheirContentAndLinksThatResolve)
{
    // A few phrases each page cannot do without; the user guide names the scratch file and its size.
    const std::map<QString, QStringList> mustSay = {{"about.htm", {"Quenta", "Version " QUENTA_VERSION}},
                                                    {"user_guide.htm", {"data.sle", "128·N·(N+1)", "NoSolution", "Ctrl+G"}},
                                                    {"ap_agreement.htm", {"no paid referral program"}}};
    int links = 0;
    for (const QString& name : kPages) {
        SCOPED_TRACE(name.toStdString());
        const Loaded page(name);
        const QString text = page.text();
        EXPECT_GT(text.simplified().size(), 200);
        EXPECT_FALSE(text.contains(QRegularExpression("&#?[A-Za-z0-9]+;|<[A-Za-z/!][^>]*>"))) << text.toStdString();
        for (const QString& phrase : mustSay.at(name))
            EXPECT_TRUE(text.contains(phrase)) << '"' << phrase.toStdString() << '"';
        QString last;  // a link drawn in several fragments counts once
        page.forEachFormat([&](const QTextCharFormat& f) {
            if (!f.isAnchor() || f.anchorHref().isEmpty() || std::exchange(last, f.anchorHref()) == f.anchorHref())
                return;
            ++links;
            const QUrl target = page.browser.source().resolved(QUrl(f.anchorHref()));
            ASSERT_TRUE(target.isLocalFile()) << f.anchorHref().toStdString();  // the help is read offline
            const QString file = QFileInfo(target.toLocalFile()).fileName();
            ASSERT_TRUE(kPages.contains(file) && QFileInfo(target.toLocalFile()).isFile()) << f.anchorHref().toStdString();
            if (!target.hasFragment())
                return;
            bool found = false;
            Loaded(file).forEachFormat([&](const QTextCharFormat& g) { found |= g.anchorNames().contains(target.fragment()); });
            EXPECT_TRUE(found) << f.anchorHref().toStdString();
        });
    }
    EXPECT_GE(links, 3);
}

} // namespace
