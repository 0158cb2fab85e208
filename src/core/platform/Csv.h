// CSV as RFC 4180 writes it: fields separated by commas, records by CRLF, a
// field quoted with '"' (and its quotes doubled) when it holds a comma, a
// quote, a line break or a leading or trailing blank.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Status.h"

namespace morvel {

// field as it is written into a record: quoted when it needs to be.
std::string CsvField(std::string_view field);

// Reads the records of a CSV text held in memory. Lines may end in CRLF, LF
// or CR; a UTF-8 byte order mark at the start is skipped; empty lines are
// skipped. Quoted fields may hold line breaks. Reading is strict: a quote
// inside an unquoted field, text after a closing quote and a quote left open
// are errors. The reader keeps a view of text, which must outlive it.
class CsvReader {
  public:
    explicit CsvReader(std::string_view text);

    // Reads the next record into fields. Returns false at the end of the text,
    // and on an error, which status() then describes (ok at the end).
    bool Next(std::vector<std::string>& fields);
    // The line (from 1) on which the record read last, or the faulty one, starts.
    std::size_t Line() const { return line_; }
    // Ok, or InvalidInput naming the line and what is wrong on it.
    Status status() const {
        return error_.empty() ? Status::Ok()
                              : Status::InvalidInput("line " + std::to_string(line_) + ": " + error_);
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t nextLine_ = 1;
    std::size_t line_ = 0;
    std::string error_;
};

}  // namespace morvel
