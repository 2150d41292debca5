// Tables that name values: a row {value, text} each, looked up by the value. The tools name
// error codes, value types and connection states this way.
#pragma once

#include <cstddef>

namespace platform {

template <class Key> struct KeyText {
    Key key;
    const char* text;
};

// The text of `key`'s row; null when the table has none.
template <class Key, std::size_t N>
const char* TextOf(const KeyText<Key> (&rows)[N], const Key& key) {
    for (const KeyText<Key>& row : rows) {
        if (row.key == key)
            return row.text;
    }
    return nullptr;
}

} // namespace platform
