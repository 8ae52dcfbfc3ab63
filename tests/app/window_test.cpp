// The main window as created and loaded: places, captions, tab order, menus, and the state that
// loading leaves.
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
    // A client area of 10395 x 5850 twips below the menu bar, in a window that opens at its
    // smallest size.
    EXPECT_EQ(client->size(), QSize(px(10395, s), px(5850, s)));
    EXPECT_GE(client->geometry().top(), w.menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(w.size(), w.minimumSizeHint());
    EXPECT_EQ(w.size().width(), client->width());

    // Grown, the window gives the extra room to the grid and moves the controls down with it.
    const QRect grid = w.gridView()->geometry(), n = w.control(Control::cmdN)->geometry();
    const QRect eps = w.control(Control::txtEps)->geometry(), index = w.findChild<QFrame*>("frmIndex(2)")->geometry();
    w.resize(w.size() + QSize(300, 200));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.gridView()->geometry(), grid.adjusted(0, 0, 300, 200));
    EXPECT_EQ(w.control(Control::cmdN)->geometry(), n.translated(0, 200));
    EXPECT_EQ(w.control(Control::txtEps)->geometry(), eps.translated(0, 200));
    EXPECT_EQ(w.findChild<QFrame*>("frmIndex(2)")->geometry(), index.translated(0, 200));
    EXPECT_EQ(line->geometry().top(), px(3000, s) + 200);
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

TEST(MainWindow, CaptionsAndMenus)
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
    EXPECT_EQ(menus, QStringList({"&File", "&Open Ctrl+O", "&Save Ctrl+R", "&Connect Ctrl+C", "Char&t Ctrl+T", "-", "&Exit Ctrl+E",
                                  "&Help", "&About Ctrl+A", "&User Guide Ctrl+U", "&Get Paid Ctrl+G"}));
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

namespace {
// Every control's name, and its state after start-up (text nullptr: a button).
struct StartedControl {
    Control c;
    const char* name;
    bool enabled;
    const char* text;
};
const StartedControl kStarted[] = {
    {Control::txtN, "txtN", true, ""},       {Control::txtA, "txtA", true, ""},
    {Control::txtB, "txtB", true, ""},       {Control::txtEr, "txtEr", true, ""},
    {Control::txtTime, "txtTime", true, ""}, {Control::txtEps, "txtEps", true, "0.5"},
    {Control::txtIndex0, "txtIndex(0)", false, "1"}, {Control::txtIndex1, "txtIndex(1)", false, "1"},
    {Control::txtIndex2, "txtIndex(2)", false, "1"}, {Control::cmdN, "cmdN", true, nullptr},
    {Control::cmdA, "cmdA", false, nullptr}, {Control::cmdB, "cmdB", false, nullptr},
    {Control::cmdSolution, "cmdSolution", false, nullptr}, {Control::cmdIter, "cmdIter", false, nullptr},
};
} // namespace

TEST(MainWindow, StartUpState)
{
    Started app;  // first start: the data folder is made and the samples written
    frmMain& w = app.w();
    for (const StartedControl& s : kStarted) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(w.control(s.c), w.findChild<QWidget*>(QString::fromLatin1(s.name)));
        EXPECT_EQ(w.control(s.c)->isEnabled(), s.enabled);
        if (s.text) {
            EXPECT_EQ(app.text(s.c), s.text);
        }
    }
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(app.up(k)->isEnabled() && app.down(k)->isEnabled());
    EXPECT_EQ(app.state().eps, 0.5f);
    EXPECT_EQ(app.state().iter, 1);
    EXPECT_FALSE(app.state().StorageMode.has_value());
    EXPECT_EQ(app.state().N, 256);  // the samples were written

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
    {
        Started app;
        EXPECT_EQ(app.state().N, 256);
        for (int k = 1, n = 4; k <= 4; ++k, n *= 4) {  // orders 4, 16, 64, 256
            const auto rows = rowsOf(app.dir.read(QStringLiteral("data/sample%1.txt").arg(k)));
            ASSERT_EQ(rows.size(), n);
            for (const QStringList& row : rows) {
                ASSERT_EQ(row.size(), n + 1) << k;
                for (const QString& number : row)
                    EXPECT_TRUE(ParseSingle(number.toStdString()) >= 0.0f && ParseSingle(number.toStdString()) < 1000.0f)
                        << k << ": " << number.toStdString();
            }
        }
        // The next start finds the folder and writes nothing, not even what is missing.
        ASSERT_TRUE(QFile::remove(app.dir.file("data/sample3.txt")));
        const std::string sample1 = app.dir.read("data/sample1.txt");
        frmMain again(app.dir.path(), &app.user);
        EXPECT_EQ(again.state().N, 0);
        EXPECT_FALSE(QFileInfo(app.dir.file("data/sample3.txt")).exists());
        EXPECT_EQ(app.dir.read("data/sample1.txt"), sample1);
        EXPECT_TRUE(app.user.messages.empty());
    }
    // Nor into an empty folder of its own; a comma locale starts with its own separator.
    {
        DecimalSeparator comma(",");
        Started app(emptyDataFolder);
        EXPECT_TRUE(QDir(app.dir.file("data")).isEmpty());
        EXPECT_EQ(app.state().N, 0);
        EXPECT_EQ(app.text(Control::txtEps), "0,5");
        EXPECT_EQ(app.state().eps, 0.5f);
        EXPECT_TRUE(app.user.messages.empty()) << "no msgFormat at start-up";
    }
}

TEST(MainWindow, DataFolderThatCannotBeMadeStillOpensTheWindow)
{
    Started app([](TempProgramDir& dir) { dir.write("data", "not a folder"); });
    EXPECT_TRUE(app.w().isVisible());
    EXPECT_EQ(app.dir.read("data"), "not a folder");
    EXPECT_EQ(app.state().N, 0);
    EXPECT_EQ(app.state().eps, 0.5f);
    EXPECT_TRUE(app.user.messages.empty());
    app.menu("Open");  // finds no folder: msgBadFile, and no dialog
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
    const Control closed[] = {Control::cmdA,      Control::cmdB,      Control::cmdSolution,
                              Control::txtIndex0, Control::txtIndex1, Control::txtIndex2};
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
    } er, grid;
    QCoreApplication::processEvents();
    w.control(Control::txtEr)->installEventFilter(&er);
    w.gridView()->viewport()->installEventFilter(&grid);
    w.repaintProgress();
    EXPECT_GE(er.paints, 1);
    EXPECT_GE(grid.paints, 1);
    w.control(Control::txtEr)->removeEventFilter(&er);
    w.gridView()->viewport()->removeEventFilter(&grid);
}
