#include "core/platform/Csv.h"

namespace morvel {

std::string CsvField(std::string_view field) {
    const bool quote = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote) return std::string(field);
    std::string text = "\"";
    for (const char c : field) {
        if (c == '"') text += '"';
        text += c;
    }
    return text + '"';
}

CsvReader::CsvReader(std::string_view text) : text_(text) {
    if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
}

bool CsvReader::Next(std::vector<std::string>& fields) {
    // The strings of fields are reused: a record costs no allocation for
    // the fields that fit where the last record's did.
    std::size_t count = 0;
    auto nextField = [&]() -> std::string& {
        if (count == fields.size()) fields.emplace_back();
        std::string& field = fields[count++];
        field.clear();
        return field;
    };
    struct DropUnused {  // on every return: fields holds this record's fields only
        std::vector<std::string>& fields;
        std::size_t& count;
        ~DropUnused() { fields.resize(count); }
    } dropUnused{fields, count};
    error_.clear();
    const std::size_t n = text_.size();
    // Skip empty lines.
    while (pos_ < n && (text_[pos_] == '\n' || text_[pos_] == '\r')) {
        if (text_[pos_] == '\r' && pos_ + 1 < n && text_[pos_ + 1] == '\n') ++pos_;
        ++pos_;
        ++nextLine_;
    }
    line_ = nextLine_;
    if (pos_ >= n) return false;

    auto endOfLine = [&] {  // at a line break: step over it
        if (text_[pos_] == '\r' && pos_ + 1 < n && text_[pos_ + 1] == '\n') ++pos_;
        ++pos_;
        ++nextLine_;
    };
    for (;;) {
        std::string& field = nextField();
        if (pos_ < n && text_[pos_] == '"') {
            ++pos_;
            for (;;) {
                if (pos_ >= n) {
                    error_ = "a quoted field is not closed";
                    return false;
                }
                const char c = text_[pos_++];
                if (c == '"') {
                    if (pos_ < n && text_[pos_] == '"') {
                        field += '"';
                        ++pos_;
                        continue;
                    }
                    break;
                }
                if (c == '\n' || (c == '\r' && (pos_ >= n || text_[pos_] != '\n'))) ++nextLine_;
                field += c;
            }
            if (pos_ < n && text_[pos_] != ',' && text_[pos_] != '\r' && text_[pos_] != '\n') {
                error_ = "text follows a closing quote";
                return false;
            }
        } else {
            const std::size_t start = pos_;
            while (pos_ < n && text_[pos_] != ',' && text_[pos_] != '\r' && text_[pos_] != '\n') {
                if (text_[pos_] == '"') {
                    error_ = "a quote inside a field that does not start with one";
                    return false;
                }
                ++pos_;
            }
            field.assign(text_.substr(start, pos_ - start));
        }
        if (pos_ >= n) return true;
        if (text_[pos_] == ',') {
            ++pos_;
            continue;
        }
        endOfLine();
        return true;
    }
}

}  // namespace morvel
