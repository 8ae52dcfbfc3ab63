// The three help pages that ship beside the program: present, well formed, loadable, their links
// leading to pages and anchors that exist, and their content saying what it must.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QStringList kPages = {"about.htm", "user_guide.htm", "ap_agreement.htm"};

QString pagesDir()
{
    // tests/help/<this file> -> src/help/pages
    return QDir::cleanPath(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../../src/help/pages");
}

QByteArray readPage(const QString& name)
{
    QFile f(pagesDir() + "/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Tags must nest properly: every element that is opened is closed in the reverse order, except
// the elements that have no end tag. Returns the first problem found, or an empty string.
QString checkNesting(const QString& html)
{
    static const QSet<QString> voidElements = {"meta", "br", "hr", "img", "link", "input", "col", "area", "base", "param"};
    static const QRegularExpression tag(QStringLiteral("<(/?)([A-Za-z][A-Za-z0-9]*)[^>]*>|<!--.*?-->|<![^>]*>"),
                                        QRegularExpression::DotMatchesEverythingOption);
    QStringList open;
    auto it = tag.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(2).isEmpty())
            continue; // comment or declaration
        const QString name = m.captured(2).toLower();
        if (m.captured(1).isEmpty()) {
            if (!voidElements.contains(name))
                open << name;
        } else if (open.isEmpty() || open.last() != name) {
            return QStringLiteral("</%1> while <%2> is open").arg(name, open.isEmpty() ? QString() : open.last());
        } else {
            open.removeLast();
        }
    }
    if (!open.isEmpty())
        return QStringLiteral("<%1> never closed").arg(open.last());
    if (html.count('<') != html.count('>'))
        return QStringLiteral("stray angle bracket");
    return {};
}

QList<QTextCharFormat> charFormats(const QTextDocument& doc)
{
    QList<QTextCharFormat> formats;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            formats << it.fragment().charFormat();
    return formats;
}

QStringList hrefs(const QTextDocument& doc)
{
    QStringList out;
    for (const QTextCharFormat& f : charFormats(doc))
        if (f.isAnchor() && !f.anchorHref().isEmpty() && (out.isEmpty() || out.last() != f.anchorHref()))
            out << f.anchorHref();
    return out;
}

QSet<QString> anchorNames(const QTextDocument& doc)
{
    QSet<QString> names;
    for (const QTextCharFormat& f : charFormats(doc))
        for (const QString& n : f.anchorNames())
            names.insert(n);
    return names;
}

// The page as the help window's browser shows it.
struct Loaded {
    Loaded(const QString& name) { browser.setSource(QUrl::fromLocalFile(pagesDir() + "/" + name)); }
    QString text() const { return browser.document()->toPlainText().replace(QChar::Nbsp, u' '); }
    QTextBrowser browser;
};

TEST(ShippedPages, ExistAreWellFormedAndLoad)
{
    for (const QString& name : kPages) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = readPage(name);
        ASSERT_FALSE(bytes.isEmpty());

        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString html = utf8.decode(bytes);
        EXPECT_FALSE(utf8.hasError());
        EXPECT_TRUE(html.startsWith("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01"));
        EXPECT_TRUE(html.contains("charset=utf-8"));
        EXPECT_EQ(checkNesting(html), QString());

        Loaded page(name);
        const QTextDocument& doc = *page.browser.document();
        EXPECT_FALSE(doc.metaInformation(QTextDocument::DocumentTitle).isEmpty());
        EXPECT_GT(page.text().simplified().size(), 200);
        // Every character reference was understood: none is left as text.
        EXPECT_FALSE(page.text().contains(QRegularExpression("&#?[A-Za-z0-9]+;"))) << page.text().toStdString();
        EXPECT_FALSE(page.text().contains(QRegularExpression("<[A-Za-z/!][^>]*>"))); // no markup shown as text
    }
}

TEST(ShippedPages, LinksLeadToExistingPagesAndAnchors)
{
    int links = 0;
    for (const QString& name : kPages) {
        SCOPED_TRACE(name.toStdString());
        Loaded page(name);
        const QUrl base = page.browser.source();
        for (const QString& href : hrefs(*page.browser.document())) {
            SCOPED_TRACE(href.toStdString());
            ++links;
            const QUrl target = base.resolved(QUrl(href));
            ASSERT_TRUE(target.isLocalFile()); // the help is read offline
            const QString file = target.toLocalFile();
            EXPECT_TRUE(QFileInfo(file).isFile());
            EXPECT_TRUE(kPages.contains(QFileInfo(file).fileName()));
            if (target.hasFragment()) {
                Loaded other(QFileInfo(file).fileName());
                EXPECT_TRUE(anchorNames(*other.browser.document()).contains(target.fragment()));
            }
        }
    }
    EXPECT_GE(links, 3);
}

TEST(ShippedPages, AboutNamesTheProgramItsVersionAndMethod)
{
    const QString text = Loaded("about.htm").text();
    EXPECT_TRUE(text.contains("Quenta"));
    EXPECT_TRUE(text.contains(QStringLiteral("Version " QUENTA_VERSION))) << "the page must match the build's version";
    EXPECT_TRUE(text.contains("coordinate descent"));
    EXPECT_TRUE(text.contains(QString::fromUtf8("Gauss–Seidel")));
    EXPECT_TRUE(text.contains("ill-conditioned"));
}

TEST(ShippedPages, UserGuideQuotesEveryMessageAndShortcutExactly)
{
    const QString text = Loaded("user_guide.htm").text();
    for (const char* message :
         {" Sorry, not correct format of the entered number.",
          " Sorry, incorrect data or not all  data are available.",
          " Sorry, not correct data in the file.",
          " Sorry, not enough memory. Please try the option-'Connect to' from the File Menu",
          " Sorry, there is no the file.",
          "NoSolution",
          "Such file exists. Do you want to replace the old file?"}) {
        EXPECT_TRUE(text.contains(QString::fromLatin1(message))) << '"' << message << '"';
    }
    for (const char* phrase :
         {"Ctrl+O", "Ctrl+R", "Ctrl+C", "Ctrl+E", "Ctrl+A", "Ctrl+U", "Ctrl+G", "Accept N", "Accept A(i,j)",
          "Accept B(i)", "Find  solution", "Next Iteration", "Desired accuracy", "Current accuracy", "data.sle",
          "128·N·(N+1)", "solutions", "sample1.txt", "sample4.txt"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(phrase))) << '"' << phrase << '"';
    }
}

TEST(ShippedPages, ReferralTermsPromiseNoSums)
{
    const QString text = Loaded("ap_agreement.htm").text();
    EXPECT_TRUE(text.contains("no paid referral program"));
    // No amounts of money or percentages anywhere on the page.
    const QRegularExpression money(QString::fromUtf8("[$€£¥]\\s*\\d|\\d\\s*(%|percent|dollars?|euros?|USD|EUR)"),
                                   QRegularExpression::CaseInsensitiveOption);
    EXPECT_FALSE(text.contains(money)) << text.toStdString();
    EXPECT_FALSE(text.contains(QRegularExpression("\\bguarantee", QRegularExpression::CaseInsensitiveOption)));
}

} // namespace
