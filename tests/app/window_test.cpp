// The main window as created and loaded: controls, places, captions, fonts, tab order, menus,
// and the state that loading leaves.
#include <QFileInfo>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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

int pxAt(int twips, double scale) { return static_cast<int>(std::lround(twips * scale / 15.0)); }

struct Place {
    const char* name;
    int left, top, width, height;
};

// Every control with its place in twips; the spinner parts are relative to their frame.
const Place kClientPlaces[] = {
    {"msfgData", 240, 360, 9975, 2535},
    {"frmIndex(0)", 840, 3600, 735, 975},
    {"frmIndex(1)", 1920, 3600, 735, 975},
    {"frmIndex(2)", 840, 4800, 735, 975},
    {"lblN", 480, 3120, 375, 255},
    {"txtN", 960, 3120, 735, 285},
    {"cmdN", 4800, 3000, 1095, 375},
    {"lblA", 480, 3840, 255, 375},
    {"lblA1", 1680, 3840, 135, 255},
    {"lblA2", 2760, 3840, 255, 375},
    {"txtA", 3120, 3720, 1335, 375},
    {"cmdA", 4800, 3720, 1095, 375},
    {"lblB", 480, 5040, 255, 255},
    {"lblB1", 1680, 5040, 255, 255},
    {"txtB", 3120, 4920, 1335, 375},
    {"cmdB", 4800, 4920, 1095, 375},
    {"cmdSolution", 7200, 3120, 1335, 375},
    {"txtEr", 8280, 5400, 1935, 375},
    {"lblEr", 6480, 5520, 1335, 255},
    {"cmdIter", 7200, 3600, 1335, 375},
    {"lblEps", 6480, 4320, 1455, 255},
    {"txtEps", 8280, 4200, 1935, 375},
    {"txtTime", 8280, 4800, 1815, 375},
    {"lblTime", 6480, 4800, 1455, 375},
};
const Place kSpinnerPlaces[] = {
    {"txtIndex", 120, 240, 375, 285},
    {"cmdUp", 360, 600, 255, 255},
    {"cmdDown", 120, 600, 255, 255},
};

QRect expected(const Place& p, double s)
{
    return QRect(pxAt(p.left, s), pxAt(p.top, s), pxAt(p.width, s), pxAt(p.height, s));
}

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
    for (const Place& p : kClientPlaces) {
        SCOPED_TRACE(p.name);
        QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(p.name));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->parentWidget(), client);
        EXPECT_EQ(c->geometry(), expected(p, s));
        EXPECT_TRUE(c->isVisible());
    }
    for (int k = 0; k < 3; ++k) {
        QWidget* frame = w.findChild<QWidget*>(QStringLiteral("frmIndex(%1)").arg(k));
        for (const Place& p : kSpinnerPlaces) {
            const QString name = QStringLiteral("%1(%2)").arg(QLatin1String(p.name)).arg(k);
            SCOPED_TRACE(name.toStdString());
            QWidget* c = w.findChild<QWidget*>(name);
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(c->parentWidget(), frame);
            EXPECT_EQ(c->geometry(), expected(p, s));
        }
    }

    // The rule from (6240, 3000) to (6240, 5760).
    auto* line = w.findChild<QFrame*>(QStringLiteral("Line1"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->frameShape(), QFrame::VLine);
    EXPECT_EQ(line->geometry().center().x(), pxAt(6240, s));
    EXPECT_EQ(line->geometry().top(), pxAt(3000, s));
    EXPECT_EQ(line->geometry().bottom() + 1, pxAt(5760, s));

    // Frames: a box without a caption.
    for (int k = 0; k < 3; ++k) {
        auto* frame = w.findChild<QFrame*>(QStringLiteral("frmIndex(%1)").arg(k));
        EXPECT_EQ(frame->frameShape(), QFrame::Box);
        EXPECT_TRUE(frame->findChildren<QLabel*>().isEmpty());
    }

    // The client area lies below the menu bar, 10395 x 5850 twips, and the window keeps its size.
    EXPECT_EQ(client->size(), QSize(pxAt(10395, s), pxAt(5850, s)));
    EXPECT_GE(client->geometry().top(), w.menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.size(), w.minimumSize());
    EXPECT_EQ(w.size().width(), client->width());
}

TEST(MainWindow, EveryCaptionFitsItsControl)
{
    Started app;
    frmMain& w = app.w();
    int checked = 0;
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        SCOPED_TRACE(b->objectName().toStdString());
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        opt.rect = b->rect();
        const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
        const QFontMetrics fm(b->font());
        EXPECT_LE(fm.horizontalAdvance(b->text()), room.width()) << b->text().toStdString();
        EXPECT_LE(fm.height(), room.height()) << b->text().toStdString();
        ++checked;
    }
    for (QLabel* l : w.findChildren<QLabel*>()) {
        if (l->text().isEmpty())
            continue;
        SCOPED_TRACE(l->objectName().toStdString());
        const QFontMetrics fm(l->font());
        const QRect room = l->contentsRect();
        const int flags = int(l->alignment()) | (l->wordWrap() ? int(Qt::TextWordWrap) : 0);
        const QRect need = fm.boundingRect(QRect(room.topLeft(), QSize(room.width(), 100000)), flags, l->text());
        EXPECT_LE(need.width(), room.width()) << l->text().toStdString();
        EXPECT_LE(need.height(), room.height()) << l->text().toStdString();
        ++checked;
    }
    for (QLineEdit* e : w.findChildren<QLineEdit*>()) {
        SCOPED_TRACE(e->objectName().toStdString());
        QStyleOptionFrame opt;
        opt.initFrom(e);
        opt.rect = e->rect();
        opt.lineWidth = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e);
        const QRect room = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
        const QFontMetrics fm(e->font());
        EXPECT_LE(fm.horizontalAdvance(e->text()) + 4, room.width());  // 2 px text margin each side
        EXPECT_LE(fm.height(), room.height());
        ++checked;
    }
    EXPECT_EQ(checked, 11 + 9 + 9);  // buttons, labels, text fields
}

TEST(MainWindow, CaptionsFontsAndBoldLabels)
{
    Started app;
    frmMain& w = app.w();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("QUENTA"));

    const std::pair<const char*, const char*> captions[] = {
        {"cmdN", "Accept N"},       {"cmdA", "Accept A(i,j)"},       {"cmdB", "Accept B(i)"},
        {"cmdSolution", "Find  solution"}, {"cmdIter", "Next Iteration"}, {"cmdUp(1)", ">"},
        {"cmdDown(2)", "<"},        {"lblN", "N="},                  {"lblA", "A ("},
        {"lblA1", ","},             {"lblA2", ") ="},                {"lblB", "B ("},
        {"lblB1", ") ="},           {"lblEr", "Current accuracy"},   {"lblEps", "Desired accuracy"},
        {"lblTime", "Duration of the  last operation"},
    };
    for (const auto& [name, caption] : captions) {
        SCOPED_TRACE(name);
        QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(c, nullptr);
        if (auto* b = qobject_cast<QPushButton*>(c))
            EXPECT_EQ(b->text(), QString::fromLatin1(caption));
        else
            EXPECT_EQ(qobject_cast<QLabel*>(c)->text(), QString::fromLatin1(caption));
    }

    for (QLabel* l : w.findChildren<QLabel*>()) {
        const QString name = l->objectName();
        if (name.isEmpty())
            continue;
        SCOPED_TRACE(name.toStdString());
        const bool bold = name == "lblN" || name == "lblA" || name == "lblA1" || name == "lblA2" || name == "lblB"
                          || name == "lblB1";
        EXPECT_EQ(l->font().weight(), bold ? QFont::Bold : QFont::Normal);
        EXPECT_NEAR(QFontInfo(l->font()).pointSizeF(), 8.0, 0.5);
    }
    for (QWidget* c : {w.control(Control::txtN), w.control(Control::cmdSolution), static_cast<QWidget*>(w.gridView())}) {
        EXPECT_EQ(c->font().weight(), QFont::Normal);
        EXPECT_NEAR(QFontInfo(c->font()).pointSizeF(), 8.0, 0.5);
        EXPECT_EQ(QFontInfo(c->font()).styleHint(), QFontInfo(frmMain::windowFont()).styleHint());
    }
}

TEST(MainWindow, TabOrderFollowsTheTable)
{
    Started app;
    frmMain& w = app.w();
    QStringList order;
    const QStringList focusable = {"msfgData",  "txtIndex(0)", "cmdUp(0)", "cmdDown(0)", "txtIndex(1)", "cmdUp(1)",
                                   "cmdDown(1)", "txtIndex(2)", "cmdUp(2)", "cmdDown(2)", "txtN",        "cmdN",
                                   "txtA",      "cmdA",        "txtB",     "cmdB",       "cmdSolution", "txtEr",
                                   "cmdIter",   "txtEps",      "txtTime"};
    QWidget* at = w.gridView();
    for (int steps = 0; steps < 500 && order.size() < focusable.size(); ++steps) {
        if (focusable.contains(at->objectName()) && !order.contains(at->objectName()))
            order << at->objectName();
        at = at->nextInFocusChain();
    }
    EXPECT_EQ(order, focusable);

    // Tab from txtN goes to Accept N, then to txtA.
    app.edit(Control::txtN)->setFocus();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.control(Control::cmdN));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.control(Control::txtA));
}

TEST(MainWindow, MenusWithAccessKeysAndShortcuts)
{
    Started app;
    const QList<QAction*> top = app.w().menuBar()->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("&Help"));

    struct Item {
        const char* caption;
        QKeySequence key;
    };
    const std::vector<Item> file = {{"&Open", QKeySequence(Qt::CTRL | Qt::Key_O)},
                                    {"&Save", QKeySequence(Qt::CTRL | Qt::Key_R)},
                                    {"&Connect", QKeySequence(Qt::CTRL | Qt::Key_C)},
                                    {nullptr, {}},
                                    {"&Exit", QKeySequence(Qt::CTRL | Qt::Key_E)}};
    const std::vector<Item> help = {{"&About", QKeySequence(Qt::CTRL | Qt::Key_A)},
                                    {"&User Guide", QKeySequence(Qt::CTRL | Qt::Key_U)},
                                    {"&Get Paid", QKeySequence(Qt::CTRL | Qt::Key_G)}};
    auto check = [](QMenu* menu, const std::vector<Item>& items) {
        ASSERT_NE(menu, nullptr);
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size()));
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!items[i].caption) {
                EXPECT_TRUE(actions[i]->isSeparator());
                continue;
            }
            EXPECT_EQ(actions[i]->text(), QString::fromLatin1(items[i].caption));
            EXPECT_EQ(actions[i]->shortcut(), items[i].key) << items[i].caption;
        }
    };
    check(top[0]->menu(), file);
    check(top[1]->menu(), help);
}

TEST(MainWindow, StartUpState)
{
    Started app;
    frmMain& w = app.w();

    // Only Accept N and the spinners among the buttons; every text field but the indexes.
    EXPECT_TRUE(app.button(Control::cmdN)->isEnabled());
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter}) {
        EXPECT_FALSE(w.control(c)->isEnabled()) << w.control(c)->objectName().toStdString();
        EXPECT_FALSE(w.isEnabled(c));
    }
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(app.up(k)->isEnabled());
        EXPECT_TRUE(app.down(k)->isEnabled());
    }
    for (Control c : {Control::txtIndex0, Control::txtIndex1, Control::txtIndex2}) {
        EXPECT_FALSE(w.control(c)->isEnabled());
        EXPECT_EQ(app.text(c), "1");
    }
    for (Control c : {Control::txtN, Control::txtA, Control::txtB, Control::txtEr, Control::txtTime}) {
        EXPECT_TRUE(w.control(c)->isEnabled());
        EXPECT_EQ(app.text(c), "");
    }
    EXPECT_EQ(app.text(Control::txtEps), "0.5");

    const WorkingState& s = app.state();
    EXPECT_EQ(s.iter, 1);
    EXPECT_EQ(s.eps, 0.5f);
    EXPECT_FALSE(s.StorageMode.has_value());
    EXPECT_EQ(s.msgFormat, kMsgFormat);
    EXPECT_EQ(s.msgIncomplete, kMsgIncomplete);
    EXPECT_EQ(s.msgBadFile, kMsgBadFile);
    EXPECT_EQ(s.msgNoMemory, kMsgNoMemory);
    EXPECT_EQ(s.msgNoFile, kMsgNoFile);
    EXPECT_EQ(s.msgReplace, kMsgReplace);
    EXPECT_TRUE(app.user.messages.empty());

    // The grid: 2 x 2, empty, nothing to edit.
    EXPECT_EQ(w.grid().rows(), 2);
    EXPECT_EQ(w.grid().cols(), 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(app.shown(r, c), "");
    EXPECT_EQ(w.gridView()->editTriggers(), QAbstractItemView::NoEditTriggers);

    // First start: the data folder is made and the samples written into it.
    EXPECT_TRUE(QFileInfo(app.dir.file("data")).isDir());
    for (int k = 1; k <= 4; ++k)
        EXPECT_TRUE(QFileInfo(app.dir.file(QStringLiteral("data/sample%1.txt").arg(k))).isFile()) << k;
    EXPECT_EQ(s.N, 256);
}

TEST(MainWindow, ExistingDataFolderIsLeftAloneEvenWhenEmpty)
{
    Started app(emptyDataFolder);
    EXPECT_TRUE(QDir(app.dir.file("data")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    EXPECT_EQ(app.state().N, 0);
    EXPECT_EQ(app.state().eps, 0.5f);
    EXPECT_TRUE(app.user.messages.empty());
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
    // A plain file named "data" stands where the folder would go.
    Started app([](TempProgramDir& dir) { dir.write("data", "not a folder"); });
    EXPECT_TRUE(app.w().isVisible());
    EXPECT_TRUE(QFileInfo(app.dir.file("data")).isFile());
    EXPECT_EQ(app.dir.read("data"), "not a folder");
    EXPECT_EQ(app.state().N, 0);
    EXPECT_EQ(app.state().eps, 0.5f);
    EXPECT_EQ(app.state().iter, 1);
    EXPECT_TRUE(app.user.messages.empty());
    // The commands that need the folder find none: Open ends with msgBadFile, no dialog shown.
    app.w().findChild<QAction*>(QStringLiteral("Open"))->trigger();
    EXPECT_EQ(app.user.opens, 0);
    EXPECT_EQ(app.user.messages, std::vector<std::string>{kMsgBadFile});
}

// Loading on its own, over a form without a window.
TEST(FormLoad, RunsItsStepsInOrderAndReportsABadAccuracy)
{
    TempProgramDir dir;
    emptyDataFolder(dir);
    FakeForm f(dir.path());
    f.state.msgFormat.clear();
    f.state.iter = 9;
    f.controls.setText(Control::txtEps, "abc");
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::txtIndex0, Control::txtIndex1,
                      Control::txtIndex2})
        f.controls.setEnabled(c, true);

    Form_Load(f.form);

    // The message table comes before the accuracy, which is why msgFormat carries its text.
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(f.user.messages[0], kMsgFormat);
    EXPECT_EQ(f.state.eps, 0.0f);
    EXPECT_EQ(f.state.iter, 1);
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::txtIndex0, Control::txtIndex1,
                      Control::txtIndex2})
        EXPECT_FALSE(f.controls.isEnabled(c));
    EXPECT_TRUE(f.controls.isEnabled(Control::cmdN));
}

TEST(FormLoad, AccuracyAtTheFloatLimits)
{
    TempProgramDir dir;
    emptyDataFolder(dir);
    {
        FakeForm f(dir.path());
        f.controls.setText(Control::txtEps, " 1E-3 ");
        Form_Load(f.form);
        EXPECT_TRUE(f.user.messages.empty());
        EXPECT_EQ(f.state.eps, 0.001f);
    }
    {
        FakeForm f(dir.path());
        f.controls.setText(Control::txtEps, "1E+39");
        Form_Load(f.form);
        EXPECT_EQ(f.user.messages, std::vector<std::string>{kMsgFormat});
        EXPECT_EQ(f.state.eps, 0.0f);
    }
}

TEST(FormLoad, WritesSamplesOnlyWhenItMakesTheDataFolder)
{
    TempProgramDir dir;
    {
        FakeForm f(dir.path());
        Form_Load(f.form);
        EXPECT_EQ(f.state.N, 256);
    }
    // Remove one sample: the next start finds the folder and writes nothing.
    ASSERT_TRUE(QFile::remove(dir.file("data/sample3.txt")));
    const std::string before = dir.read("data/sample1.txt");
    {
        FakeForm f(dir.path());
        Form_Load(f.form);
        EXPECT_EQ(f.state.N, 0);
    }
    EXPECT_FALSE(QFileInfo(dir.file("data/sample3.txt")).exists());
    EXPECT_EQ(dir.read("data/sample1.txt"), before);
}

TEST(MainWindow, ControlsReachTheirWidgets)
{
    Started app(emptyDataFolder);
    frmMain& w = app.w();
    const std::pair<Control, const char*> names[] = {
        {Control::txtN, "txtN"},           {Control::txtA, "txtA"},           {Control::txtB, "txtB"},
        {Control::txtEps, "txtEps"},       {Control::txtEr, "txtEr"},         {Control::txtTime, "txtTime"},
        {Control::txtIndex0, "txtIndex(0)"}, {Control::txtIndex1, "txtIndex(1)"}, {Control::txtIndex2, "txtIndex(2)"},
        {Control::cmdN, "cmdN"},           {Control::cmdA, "cmdA"},           {Control::cmdB, "cmdB"},
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
    // The window itself is not disabled by any of this.
    EXPECT_TRUE(w.isEnabled());
}

TEST(MainWindow, BusyCursorAndProgressRepaints)
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

    // Progress is painted at once, without the event loop running.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
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
