// A table from each byte to its class, for the readers' inner loops: one load per byte instead
// of a chain of comparisons.
#ifndef TAVRIN_TREE_BYTE_CLASSES_H
#define TAVRIN_TREE_BYTE_CLASSES_H

#include <initializer_list>
#include <utility>

namespace tavrin {

// `Class` is an enumeration whose value 0 is the class of every byte not named.
template <typename Class>
class ByteClasses {
public:
    // For each class but the first, the bytes that belong to it.
    constexpr ByteClasses(std::initializer_list<std::pair<Class, const char*>> named) {
        for (const std::pair<Class, const char*>& entry : named) {
            for (const char* b = entry.second; *b != '\0'; ++b)
                of_[static_cast<unsigned char>(*b)] = static_cast<unsigned char>(entry.first);
        }
    }
    constexpr Class operator[](char c) const {
        return static_cast<Class>(of_[static_cast<unsigned char>(c)]);
    }

private:
    unsigned char of_[256] = {};
};

// The blanks of a tree text outside quotes and comments.
constexpr char kBlanks[] = " \t\r\n";
constexpr ByteClasses<bool> kBlankBytes{{true, kBlanks}};

inline bool is_blank(char c) {
    return kBlankBytes[c];
}

}  // namespace tavrin

#endif  // TAVRIN_TREE_BYTE_CLASSES_H
