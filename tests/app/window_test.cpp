// The main window as created and loaded: places, captions, fonts, tab order, menus, and the
// state that loading leaves.
#include <QFontInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <cmath>

#include "app/startup.h"
#include "model/numbers.h"
#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

namespace {

int px(int twips, double scale) { return static_cast<int>(std::lround(twips * scale / 15.0)); }

struct Place {
    const char* name;
    int left, top, width, height;
};

// Every control with its place in twips; the spinner parts (%1 = 0..2) lie in their frame.
const Place kPlaces[] = {
    {"msfgData", 240, 360, 9975, 2535},  {"frmIndex(0)", 840, 3600, 735, 975}, {"frmIndex(1)", 1920, 3600, 735, 975},
    {"frmIndex(2)", 840, 4800, 735, 975}, {"lblN", 480, 3120, 375, 255},       {"txtN", 960, 3120, 735, 285},
    {"cmdN", 4800, 3000, 1095, 375},      {"lblA", 480, 3840, 255, 375},        {"lblA1", 1680, 3840, 135, 255},
    {"lblA2", 2760, 3840, 255, 375},      {"txtA", 3120, 3720, 1335, 375},      {"cmdA", 4800, 3720, 1095, 375},
    {"lblB", 480, 5040, 255, 255},        {"lblB1", 1680, 5040, 255, 255},      {"txtB", 3120, 4920, 1335, 375},
    {"cmdB", 4800, 4920, 1095, 375},      {"cmdSolution", 7200, 3120, 1335, 375}, {"txtEr", 8280, 5400, 1935, 375},
    {"lblEr", 6480, 5520, 1335, 255},     {"cmdIter", 7200, 3600, 1335, 375},   {"lblEps", 6480, 4320, 1455, 255},
    {"txtEps", 8280, 4200, 1935, 375},    {"txtTime", 8280, 4800, 1815, 375},   {"lblTime", 6480, 4800, 1455, 375},
    {"txtIndex(%1)", 120, 240, 375, 285}, {"cmdUp(%1)", 360, 600, 255, 255},    {"cmdDown(%1)", 120, 600, 255, 255},
};

} // namespace

TEST(MainWindow, EveryControlSitsWhereTheTablePutsIt)
{
    Started app;
    frmMain& w = app.w();
    const double s = w.layoutScale();
    ASSERT_GE(s, 1.0);
    ASSERT_LT(s, 2.0) << "the font should not need the layout doubled";
    QWidget* client = w.centralWidget();
    ASSERT_NE(client, nullptr);

    for (const Place& p : kPlaces) {
        const QString name = QString::fromLatin1(p.name);
        const bool spinner = name.contains(QLatin1String("%1"));
        for (int k = 0; k < (spinner ? 3 : 1); ++k) {
            const QString full = spinner ? name.arg(k) : name;
            SCOPED_TRACE(full.toStdString());
            QWidget* c = w.findChild<QWidget*>(full);
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(c->parentWidget(), spinner ? w.findChild<QWidget*>(QStringLiteral("frmIndex(%1)").arg(k)) : client);
            EXPECT_EQ(c->geometry(), QRect(px(p.left, s), px(p.top, s), px(p.width, s), px(p.height, s)));
            EXPECT_TRUE(c->isVisible());
        }
    }
    // The rule from (6240, 3000) to (6240, 5760); the frames are boxes without a caption.
    auto* line = w.findChild<QFrame*>(QStringLiteral("Line1"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->frameShape(), QFrame::VLine);
    EXPECT_EQ(line->geometry().center().x(), px(6240, s));
    EXPECT_EQ(line->geometry().top(), px(3000, s));
    EXPECT_EQ(line->geometry().bottom() + 1, px(5760, s));
    for (int k = 0; k < 3; ++k) {
        auto* frame = w.findChild<QFrame*>(QStringLiteral("frmIndex(%1)").arg(k));
        EXPECT_EQ(frame->frameShape(), QFrame::Box);
        EXPECT_TRUE(frame->findChildren<QLabel*>().isEmpty());
    }
    // A client area of 10395 x 5850 twips below the menu bar, in a window of fixed size.
    EXPECT_EQ(client->size(), QSize(px(10395, s), px(5850, s)));
    EXPECT_GE(client->geometry().top(), w.menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.size(), w.minimumSize());
    EXPECT_EQ(w.size().width(), client->width());
}

TEST(MainWindow, EveryCaptionFitsItsControl)
{
    Started app;
    int checked = 0;
    for (QPushButton* b : app.w().findChildren<QPushButton*>()) {
        SCOPED_TRACE(b->objectName().toStdString());
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
        EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()), room.width());
        EXPECT_LE(b->fontMetrics().height(), room.height());
        ++checked;
    }
    for (QLabel* l : app.w().findChildren<QLabel*>()) {
        if (l->text().isEmpty())
            continue;
        SCOPED_TRACE(l->objectName().toStdString());
        const QRect room = l->contentsRect();
        const int flags = int(l->alignment()) | (l->wordWrap() ? int(Qt::TextWordWrap) : 0);
        const QRect need = l->fontMetrics().boundingRect(QRect(room.topLeft(), QSize(room.width(), 100000)), flags, l->text());
        EXPECT_LE(need.width(), room.width());
        EXPECT_LE(need.height(), room.height());
        ++checked;
    }
    for (QLineEdit* e : app.w().findChildren<QLineEdit*>()) {
        SCOPED_TRACE(e->objectName().toStdString());
        QStyleOptionFrame opt;
        opt.initFrom(e);
        opt.lineWidth = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e);
        const QRect room = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
        EXPECT_LE(e->fontMetrics().horizontalAdvance(e->text()) + 4, room.width());  // 2 px margin each side
        EXPECT_LE(e->fontMetrics().height(), room.height());
        ++checked;
    }
    EXPECT_EQ(checked, 11 + 9 + 9);  // buttons, labels, text fields
}

TEST(MainWindow, CaptionsMenusAndFonts)
{
    Started app;
    frmMain& w = app.w();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("QUENTA"));
    const std::pair<const char*, const char*> captions[] = {
        {"cmdN", "Accept N"},  {"cmdA", "Accept A(i,j)"}, {"cmdB", "Accept B(i)"}, {"cmdSolution", "Find  solution"},
        {"cmdIter", "Next Iteration"}, {"cmdUp(1)", ">"}, {"cmdDown(2)", "<"},    {"lblN", "N="},
        {"lblA", "A ("},       {"lblA1", ","},            {"lblA2", ") ="},       {"lblB", "B ("},
        {"lblB1", ") ="},      {"lblEr", "Current accuracy"}, {"lblEps", "Desired accuracy"},
        {"lblTime", "Duration of the  last operation"},
    };
    for (const auto& [name, caption] : captions) {
        QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(c, nullptr) << name;
        auto* b = qobject_cast<QPushButton*>(c);
        EXPECT_EQ(b ? b->text() : qobject_cast<QLabel*>(c)->text(), QString::fromLatin1(caption)) << name;
    }

    // Two menus, their items with access keys and shortcuts ("-" is the separator).
    QStringList menus;
    for (QAction* top : w.menuBar()->actions()) {
        menus << top->text();
        for (QAction* a : top->menu()->actions())
            menus << (a->isSeparator() ? QStringLiteral("-") : a->text() + QLatin1Char(' ') + a->shortcut().toString());
    }
    EXPECT_EQ(menus, QStringList({"&File", "&Open Ctrl+O", "&Save Ctrl+R", "&Connect Ctrl+C", "-", "&Exit Ctrl+E",
                                  "&Help", "&About Ctrl+A", "&User Guide Ctrl+U", "&Get Paid Ctrl+G"}));

    // 8-point fonts throughout; the labels of the entry lines are bold.
    const QStringList bold = {"lblN", "lblA", "lblA1", "lblA2", "lblB", "lblB1"};
    std::vector<QWidget*> normal = {w.control(Control::txtN), w.control(Control::cmdSolution), w.gridView()};
    for (QLabel* l : w.findChildren<QLabel*>()) {
        if (bold.contains(l->objectName()))
            EXPECT_EQ(l->font().weight(), QFont::Bold) << l->objectName().toStdString();
        else if (!l->objectName().isEmpty())
            normal.push_back(l);
    }
    for (QWidget* c : normal) {
        SCOPED_TRACE(c->objectName().toStdString());
        EXPECT_EQ(c->font().weight(), QFont::Normal);
        EXPECT_NEAR(QFontInfo(c->font()).pointSizeF(), 8.0, 0.5);
        EXPECT_EQ(QFontInfo(c->font()).styleHint(), QFontInfo(frmMain::windowFont()).styleHint());
    }
}

TEST(MainWindow, TabOrderFollowsTheTable)
{
    Started app;
    frmMain& w = app.w();
    const QStringList focusable = {"msfgData",    "txtIndex(0)", "cmdUp(0)",    "cmdDown(0)", "txtIndex(1)", "cmdUp(1)",
                                   "cmdDown(1)",  "txtIndex(2)", "cmdUp(2)",    "cmdDown(2)", "txtN",        "cmdN",
                                   "txtA",        "cmdA",        "txtB",        "cmdB",       "cmdSolution", "txtEr",
                                   "cmdIter",     "txtEps",      "txtTime"};
    QStringList order;
    QWidget* at = w.gridView();
    for (int steps = 0; steps < 500 && order.size() < focusable.size(); ++steps, at = at->nextInFocusChain())
        if (focusable.contains(at->objectName()) && !order.contains(at->objectName()))
            order << at->objectName();
    EXPECT_EQ(order, focusable);

    // Tab from txtN goes to Accept N, then to txtA.
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    app.edit(Control::txtN)->setFocus();
    for (Control next : {Control::cmdN, Control::txtA}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), w.control(next));
    }
}

TEST(MainWindow, StartUpState)
{
    Started app;  // first start: the data folder is made and the samples written
    frmMain& w = app.w();
    EXPECT_TRUE(w.control(Control::cmdN)->isEnabled());
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter})
        EXPECT_FALSE(w.control(c)->isEnabled());
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(app.up(k)->isEnabled() && app.down(k)->isEnabled());
        EXPECT_FALSE(w.control(indexField(k))->isEnabled());
        EXPECT_EQ(app.text(indexField(k)), "1");
    }
    for (Control c : {Control::txtN, Control::txtA, Control::txtB, Control::txtEr, Control::txtTime}) {
        EXPECT_TRUE(w.control(c)->isEnabled());
        EXPECT_EQ(app.text(c), "");
    }
    EXPECT_TRUE(w.control(Control::txtEps)->isEnabled());
    EXPECT_EQ(app.text(Control::txtEps), "0.5");
    EXPECT_EQ(app.state().eps, 0.5f);
    EXPECT_EQ(app.state().iter, 1);
    EXPECT_FALSE(app.state().StorageMode.has_value());
    EXPECT_EQ(app.state().N, 256);
    EXPECT_TRUE(QFileInfo(app.dir.file("data/sample4.txt")).isFile());

    // A 2 x 2 grid, empty and closed to editing.
    EXPECT_EQ(w.grid().rows(), 2);
    EXPECT_EQ(w.grid().cols(), 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(app.shown(r, c), "");
    EXPECT_EQ(w.gridView()->editTriggers(), QAbstractItemView::NoEditTriggers);

    // The disabled buttons ignore clicks.
    app.type(Control::txtA, "1");
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter})
        app.click(c);
    EXPECT_EQ(app.shown(1, 1), "");
    EXPECT_EQ(app.state().iter, 1);
    EXPECT_TRUE(app.user.messages.empty());
}

TEST(MainWindow, SamplesAreWrittenOnTheFirstStartOnly)
{
    TempProgramDir dir;
    auto start = [&dir] {
        RecordingDialogs user;
        frmMain w(dir.path(), &user);
        EXPECT_TRUE(user.messages.empty());
        return w.state().N;
    };
    EXPECT_EQ(start(), 256);
    const int orders[] = {4, 16, 64, 256};
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        const QStringList lines = QString::fromStdString(dir.read(QStringLiteral("data/sample%1.txt").arg(k)))
                                      .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), orders[k - 1]);
        for (const QString& line : lines) {
            const QStringList numbers = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            ASSERT_EQ(numbers.size(), orders[k - 1] + 1);
            for (const QString& number : numbers) {
                const float v = ParseSingle(number.toStdString());
                EXPECT_TRUE(v >= 0.0f && v < 1000.0f) << v;
            }
        }
    }
    // The next start finds the folder and writes nothing, not even what is missing.
    ASSERT_TRUE(QFile::remove(dir.file("data/sample3.txt")));
    const std::string sample1 = dir.read("data/sample1.txt");
    EXPECT_EQ(start(), 0);
    EXPECT_FALSE(QFileInfo(dir.file("data/sample3.txt")).exists());
    EXPECT_EQ(dir.read("data/sample1.txt"), sample1);
    // Nor into an empty folder of its own.
    Started app(emptyDataFolder);
    EXPECT_TRUE(QDir(app.dir.file("data")).isEmpty());
    EXPECT_EQ(app.state().N, 0);
}

TEST(MainWindow, CommaLocaleStartsWithItsOwnSeparator)
{
    setDecimalSeparator(",");
    {
        Started app(emptyDataFolder);
        EXPECT_EQ(app.text(Control::txtEps), "0,5");
        EXPECT_EQ(app.state().eps, 0.5f);
        EXPECT_TRUE(app.user.messages.empty()) << "no msgFormat at start-up";
    }
    setDecimalSeparator(".");
}

TEST(MainWindow, DataFolderThatCannotBeMadeStillOpensTheWindow)
{
    Started app([](TempProgramDir& dir) { dir.write("data", "not a folder"); });
    EXPECT_TRUE(app.w().isVisible());
    EXPECT_EQ(app.dir.read("data"), "not a folder");
    EXPECT_EQ(app.state().N, 0);
    EXPECT_EQ(app.state().eps, 0.5f);
    EXPECT_TRUE(app.user.messages.empty());
    // Open finds no folder: msgBadFile, and no dialog shown.
    app.menu("Open");
    EXPECT_EQ(app.user.opens, 0);
    EXPECT_EQ(app.user.messages, Texts{kMsgBadFile});
}

// Loading over a form without a window: the message table comes before the accuracy, so that
// a bad txtEps shows msgFormat with its text.
TEST(FormLoad, BadAccuracyShowsTheLoadedMessageAndLeavesEpsZero)
{
    TempProgramDir dir;
    emptyDataFolder(dir);
    FakeForm f(dir.path());
    f.state.msgFormat.clear();
    f.state.iter = 9;
    f.controls.setText(Control::txtEps, "abc");
    const Control closed[] = {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::txtIndex0,
                              Control::txtIndex1, Control::txtIndex2};
    for (Control c : closed)
        f.controls.setEnabled(c, true);

    Form_Load(f.form);

    EXPECT_EQ(f.user.messages, Texts{kMsgFormat});
    EXPECT_EQ(f.state.eps, 0.0f);
    EXPECT_EQ(f.state.iter, 1);
    for (Control c : closed)
        EXPECT_FALSE(f.controls.isEnabled(c));
    EXPECT_TRUE(f.controls.isEnabled(Control::cmdN));
}

TEST(MainWindow, ControlsReachTheirWidgets)
{
    Started app(emptyDataFolder);
    frmMain& w = app.w();
    const std::pair<Control, const char*> names[] = {
        {Control::txtN, "txtN"},     {Control::txtA, "txtA"},       {Control::txtB, "txtB"},
        {Control::txtEps, "txtEps"}, {Control::txtEr, "txtEr"},     {Control::txtTime, "txtTime"},
        {Control::txtIndex0, "txtIndex(0)"}, {Control::txtIndex1, "txtIndex(1)"}, {Control::txtIndex2, "txtIndex(2)"},
        {Control::cmdN, "cmdN"},     {Control::cmdA, "cmdA"},       {Control::cmdB, "cmdB"},
        {Control::cmdSolution, "cmdSolution"}, {Control::cmdIter, "cmdIter"},
    };
    for (const auto& [c, name] : names) {
        SCOPED_TRACE(name);
        QWidget* widget = w.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(w.control(c), widget);
        const bool was = widget->isEnabled();
        w.setEnabled(c, !was);
        EXPECT_EQ(widget->isEnabled(), !was);
        EXPECT_EQ(w.isEnabled(c), !was);
        w.setEnabled(c, was);
        if (auto* e = qobject_cast<QLineEdit*>(widget)) {
            w.setText(c, "1,5 é");  // UTF-8 both ways
            EXPECT_EQ(e->text(), QStringLiteral("1,5 é"));
            e->setText(QStringLiteral("typed"));
            EXPECT_EQ(w.text(c), "typed");
        }
    }
    EXPECT_TRUE(w.isEnabled());
}

TEST(MainWindow, BusyCursorAndProgressPaintedWithoutTheEventLoop)
{
    Started app(emptyDataFolder);
    frmMain& w = app.w();
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    w.setBusy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    w.setBusy(true);  // said twice, undone once
    w.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    w.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override { return paints += e->type() == QEvent::Paint, false; }
    };
    QCoreApplication::processEvents();
    PaintCounter er, grid;
    w.control(Control::txtEr)->installEventFilter(&er);
    w.gridView()->viewport()->installEventFilter(&grid);
    w.repaintProgress();
    EXPECT_GE(er.paints, 1);
    EXPECT_GE(grid.paints, 1);
    w.control(Control::txtEr)->removeEventFilter(&er);
    w.gridView()->viewport()->removeEventFilter(&grid);
}
