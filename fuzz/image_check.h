#pragma once
// Reads a compiled image back without the compiler's help: header, label
// table and body, with every jump template decoded to the keyword text it
// stands for, and checks that they agree with each other.

#include <string>
#include <string_view>
#include <vector>

namespace velkor::fuzz {

// What is wrong with the image; empty when nothing is. `bodyIsUnambiguous`
// tells that the source has no "$", so that every "$" of the body starts a
// template (a string literal could otherwise hold one).
std::vector<std::string> CheckImage(std::string_view image, bool bodyIsUnambiguous);

}  // namespace velkor::fuzz
