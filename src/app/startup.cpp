#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <exception>

#include "files/samples.h"
#include "model/errors.h"
#include "model/messages.h"
#include "model/numbers.h"

namespace quenta {

void Form_Load(Form& f)
{
    f.state.loadMessages();

    f.controls.setEnabled(Control::txtIndex0, false);
    f.controls.setEnabled(Control::txtIndex1, false);
    f.controls.setEnabled(Control::txtIndex2, false);

    // cmdIter is created disabled; the other three wait for the first system as well.
    f.controls.setEnabled(Control::cmdA, false);
    f.controls.setEnabled(Control::cmdB, false);
    f.controls.setEnabled(Control::cmdSolution, false);

    f.state.iter = 1;

    // The samples are written only when the data folder itself had to be made: an existing
    // folder is left alone, even an empty one. When no folder can hold it, the window still
    // opens, and Open, Save and Connect do what they do without a data folder.
    const QString data = f.dir.data();
    if (!QFileInfo(data).isDir()) {
        if (QDir().mkpath(data)) {
            try {
                create_samples(f);
            } catch (const std::exception&) {
                // Samples that cannot be written are missed, not reported: the window opens
                // all the same, and Open shows what the folder holds.
            }
        } else {
            f.user.message(messages::noDataFolder(f.dir.tried()));
        }
    }

    try {
        f.state.eps = ParseSingle(f.controls.text(Control::txtEps), f.state.separator);
    } catch (const QuentaError&) {
        f.state.eps = 0;
        f.user.message(f.state.msgFormat);
    }
}

void Exit_Click()
{
    QApplication::closeAllWindows();
    // Leaves the program's event loop. Outside one (a window driven without exec) there is
    // nothing to leave, and asking would make every later loop, a modal box's included, end at
    // once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

} // namespace quenta
