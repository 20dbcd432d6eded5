#include "driver/record.h"

#include "tree/tree_reader.h"

namespace tavrin {

Record::Record() = default;

Record::~Record() = default;

void Record::flush(Flush kind) {
    Piece piece{Piece::kFlush, std::string(), kind};
    pieces_.push_back(std::move(piece));
}

std::string& Record::Buffer::text() {
    std::vector<Piece>& pieces = record_.pieces_;
    if (pieces.empty() || pieces.back().kind != kind_) pieces.push_back(Piece{kind_, {}, {}});
    return pieces.back().text;
}

Record::Buffer::int_type Record::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    text().push_back(traits_type::to_char_type(c));
    return c;
}

std::streamsize Record::Buffer::xsputn(const char* s, std::streamsize n) {
    text().append(s, static_cast<std::size_t>(n));
    return n;
}

}  // namespace tavrin
