// A player's name as the boards keep it. Names arrive in any Unicode form;
// they are stored in one (NFKC, so "ﬁ" and "fi", full-width and plain
// letters are the same name), and names that would mislead a reader are
// refused: text-direction controls, zero-width and other invisible
// characters, or nothing visible at all. Look-alikes of a name already on a
// board (Latin "Quibbleton" and one with a Cyrillic "о") share a confusable
// skeleton, which the storage compares.
#pragma once

#include <string>
#include <string_view>

namespace score {

struct NameCheck {
  std::string name;     // normalised, when accepted
  std::string refusal;  // one sentence, when refused
};

// `text` is valid UTF-8 without control characters (the upload's checks).
NameCheck NormaliseName(std::string_view text, std::string_view what = "player's name");

// The confusable skeleton (Unicode TR 39, ICU's spoof checker): two names
// that a reader could take for each other have the same skeleton.
std::string Skeleton(std::string_view name);

}  // namespace score
