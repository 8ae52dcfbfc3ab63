#include "files/text_writer.h"

#include <QFileInfo>

#include "model/errors.h"

namespace quenta {

// The file is opened unbuffered: QSaveFile's own buffer would be flushed at commit, and a
// failure there (a full disk, a file size limit) is not reported by commit. Writing straight
// through, every failed write is seen by the write that fails.
TextFileWriter::TextFileWriter(const QString& name) : file_(name)
{
    if (QFileInfo(name).isDir() || !file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileError("cannot create " + name.toStdString());
}

void TextFileWriter::commit()
{
    drain();
    if (file_.error() != QFileDevice::NoError || !file_.commit())
        fail();
}

void TextFileWriter::drain()
{
    if (buf_.empty())
        return;
    const qint64 size = static_cast<qint64>(buf_.size());
    if (file_.write(buf_.data(), size) != size || file_.error() != QFileDevice::NoError)
        fail();
    buf_.clear();
}

void TextFileWriter::fail()
{
    file_.cancelWriting();  // the partial file goes when file_ does; the old one is untouched
    throw FileError("cannot write " + file_.fileName().toStdString());
}

} // namespace quenta
