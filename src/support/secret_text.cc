#include "support/secret_text.h"

#include <cstddef>

namespace talvex {

void WipeSecret(std::string* text) {
  text->resize(text->capacity());
  // Volatile stores: the compiler may not drop them as writes to memory
  // that is about to be released.
  volatile char* bytes = text->data();
  for (std::size_t i = 0; i < text->size(); ++i) bytes[i] = '\0';
  text->clear();
}

void AppendSecret(std::string* text, char character) {
  if (text->size() == text->capacity()) {
    std::string larger;
    larger.reserve(2 * text->capacity() + 1);
    larger.assign(*text);
    WipeSecret(text);
    text->swap(larger);
  }
  text->push_back(character);
}

}  // namespace talvex
