#pragma once
// Every text file the program writes goes through TextFileWriter: the bytes go to a file beside
// the target, each write is checked as it happens, and only a file written whole replaces the
// old one. On any failure the old file stays byte for byte and the partial one is removed.
#include <QSaveFile>
#include <QString>
#include <string>
#include <string_view>

namespace quenta {

class TextFileWriter {
public:
    // FileError when the file cannot be created (a folder of that name, no such folder, no
    // permission).
    explicit TextFileWriter(const QString& name);
    void append(std::string_view s)
    {
        buf_.append(s);
        if (buf_.size() >= Chunk)
            drain();
    }
    void append(char c) { buf_.push_back(c); }
    // Writes what is left and puts the file in place of the old one. FileError when any write
    // failed; nothing replaces the old file then.
    void commit();

private:
    // The buffer grows with what is written, up to a chunk: a short file needs no more.
    static constexpr std::size_t Chunk = std::size_t(1) << 20;
    void drain();
    [[noreturn]] void fail();

    QSaveFile file_;
    std::string buf_;
};

} // namespace quenta
