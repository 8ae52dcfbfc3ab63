#pragma once
// The line splitter and the line reader shared by every reader of text files.
#include <QString>
#include <QStringEncoder>
#include <QStringView>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/int16.h"

namespace quenta {

// Splits one line into tokens separated by runs of spaces (code 32 only; a tab is part of a
// token). m receives the count; y receives the tokens in y[1..m], y[0] unused (y is resized to
// m + 1). More than 32767 tokens: OverflowError. The views point into `line`.
void get_row(std::string_view line, i16& m, std::vector<std::string_view>& y);

// get_row with other separators: a line is split at runs of any of the characters given (tab,
// blank and semicolon for a pasted system). Same results and failures as get_row otherwise.
class FieldSplitter {
public:
    explicit FieldSplitter(std::string_view separators);
    void split(std::string_view line, i16& m, std::vector<std::string_view>& y) const;

private:
    std::array<bool, 256> separates_{};
};

// Reads a text file line by line through a large buffer. A line ends at CR LF, a lone CR or a
// lone LF; the end is not part of the line. The last line needs no line end; an empty file has
// no line.
class LineReader {
public:
    // FileError when the file cannot be opened. bufferSize 0 sizes the first buffer to the file
    // (at most 1 MiB); any other value is the first buffer's size whatever the file's. The
    // buffer doubles whenever one line fills it.
    explicit LineReader(const QString& path, std::size_t bufferSize = 0);
    // Reads `bytes` as a file's content through a first buffer of bufferSize bytes (at least 1),
    // refilling it read by read as from a file. The bytes must outlive the reader.
    LineReader(std::string_view bytes, std::size_t bufferSize);
    // Reads a text held as UTF-16 (as the clipboard gives it) as its UTF-8 bytes, converting it
    // a buffer at a time. The text must outlive the reader; size() is its length in UTF-16 units,
    // which for ASCII text is its size in bytes.
    struct Utf16Text {
        QStringView text;
    };
    LineReader(Utf16Text text, std::size_t bufferSize);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    // The next line, valid until the next call; false at the end of the file. FileError when
    // a read fails.
    bool next(std::string_view& line);
    void close();
    // The bytes of the file handed out so far as lines (with their ends), and the file's size
    // when it was opened (0 when it has none, as a pipe).
    std::int64_t position() const { return read_ - static_cast<std::int64_t>(end_ - begin_); }
    std::int64_t size() const { return size_; }

private:
    void fill();
    std::size_t find(char c, std::size_t& cached);

    int fd_ = -1;
    // The content when it is read from memory: what is left of it, and whether the reader is open.
    std::string_view memory_;
    QStringView utf16_;
    std::unique_ptr<QStringEncoder> encoder_;  // UTF-16 to UTF-8, when reading utf16_
    bool memoryOpen_ = false;
    std::unique_ptr<char[]> buf_;  // not zeroed: only bytes read are looked at
    std::size_t cap_ = 0;
    std::size_t begin_ = 0, end_ = 0;
    // Where the next LF / CR stands in buf_, or end_ when the bytes searched so far hold none.
    // No LF lies in [begin_, lf_) and no CR in [begin_, cr_).
    std::size_t lf_ = 0, cr_ = 0;
    std::int64_t read_ = 0, size_ = 0;
    bool eof_ = false;
    bool pendingCR_ = false;
};

} // namespace quenta
