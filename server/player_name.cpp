#include "server/player_name.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/uspoof.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <optional>

#include "server/query.h"

namespace score {
namespace {

std::u16string ToUtf16(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
  std::u16string out(static_cast<size_t>(length), u'\0');
  status = U_ZERO_ERROR;
  u_strFromUTF8(out.data(), length, nullptr, text.data(), static_cast<int32_t>(text.size()), &status);
  return U_SUCCESS(status) ? out : std::u16string();
}

std::string ToUtf8(const std::u16string& text) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
  std::string out(static_cast<size_t>(length), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), length, nullptr, text.data(), static_cast<int32_t>(text.size()), &status);
  return U_SUCCESS(status) ? out : std::string();
}

bool IsVariationSelector(UChar32 c) { return (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF); }

// Blank to every reader though not counted as ignorable: the braille blank
// and the Hangul fillers some fonts draw as nothing.
bool IsBlank(UChar32 c) { return c == 0x2800 || c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0xFFA0; }

// Runs of white space inside become one space and none is kept at either
// end, so " Alice", "Alice " and "Alice" are one name.
std::u16string CollapseWhiteSpace(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size());
  bool space = false;
  const int32_t length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U16_NEXT(text.data(), i, length, c);
    if (u_isUWhiteSpace(c)) {
      space = true;
      continue;
    }
    if (space && !out.empty()) out += u' ';
    space = false;
    out.append(text, static_cast<size_t>(start), static_cast<size_t>(i - start));
  }
  return out;
}

// `text` in the form of `instance` (NFKC, or NFKC with case folding).
std::optional<std::u16string> Normalised(const UNormalizer2* instance, const std::u16string& input) {
  UErrorCode status = U_ZERO_ERROR;
  std::u16string normal(input.size() * 2 + 16, u'\0');
  int32_t length = unorm2_normalize(instance, input.data(), static_cast<int32_t>(input.size()), normal.data(),
                                    static_cast<int32_t>(normal.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    // A few characters expand far (one Arabic ligature to 18 letters).
    status = U_ZERO_ERROR;
    normal.assign(static_cast<size_t>(length), u'\0');
    length = unorm2_normalize(instance, input.data(), static_cast<int32_t>(input.size()), normal.data(), length,
                              &status);
  }
  if (U_FAILURE(status)) return std::nullopt;
  normal.resize(static_cast<size_t>(length));
  return normal;
}

}  // namespace

NameCheck NormaliseName(std::string_view text, std::string_view what) {
  const std::string the = "The " + std::string(what);
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfkc = unorm2_getNFKCInstance(&status);
  std::optional<std::u16string> folded = U_SUCCESS(status) ? Normalised(nfkc, ToUtf16(text)) : std::nullopt;
  if (!folded) return {"", the + " cannot be read as Unicode."};
  // After NFKC, which turns the wide and ideographic spaces into plain ones.
  const std::u16string normal = CollapseWhiteSpace(*folded);
  const int32_t length = static_cast<int32_t>(normal.size());

  bool visible = false;
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U16_NEXT(normal.data(), i, length, c);
    if (u_hasBinaryProperty(c, UCHAR_BIDI_CONTROL)) {
      return {"", the + " holds a character that turns the direction of text."};
    }
    const int8_t type = u_charType(c);
    if ((u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) && !IsVariationSelector(c)) || IsBlank(c) ||
        type == U_FORMAT_CHAR || type == U_CONTROL_CHAR) {
      return {"", the + " holds an invisible character."};
    }
    if (type == U_UNASSIGNED || type == U_PRIVATE_USE_CHAR || type == U_SURROGATE) {
      return {"", the + " holds a character that has no meaning yet."};
    }
    if (!u_isUWhiteSpace(c) && !IsVariationSelector(c) && type != U_NON_SPACING_MARK && type != U_ENCLOSING_MARK) {
      visible = true;
    }
  }
  if (!visible) return {"", the + " has nothing visible in it."};
  NameCheck check{ToUtf8(normal), ""};
  if (check.name.size() > kMaxPlayerField) return {"", the + " is longer than the launcher allows."};
  return check;
}

std::string Skeleton(std::string_view name) {
  // One checker for the process: configured once, it only reads after that,
  // which ICU allows from any number of threads.
  static USpoofChecker* const checker = [] {
    UErrorCode status = U_ZERO_ERROR;
    USpoofChecker* opened = uspoof_open(&status);
    return U_SUCCESS(status) ? opened : nullptr;
  }();
  // Case, accents and padding make no other name: the confusable skeleton
  // is taken of the name case-folded, without its combining marks.
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* casefold = unorm2_getNFKCCasefoldInstance(&status);
  const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
  std::optional<std::u16string> folded;
  if (U_SUCCESS(status)) folded = Normalised(casefold, CollapseWhiteSpace(ToUtf16(name)));
  if (folded) folded = Normalised(nfd, *folded);
  std::u16string bare;
  if (folded) {
    const int32_t length = static_cast<int32_t>(folded->size());
    for (int32_t i = 0; i < length;) {
      const int32_t start = i;
      UChar32 c;
      U16_NEXT(folded->data(), i, length, c);
      if (u_charType(c) != U_NON_SPACING_MARK && u_charType(c) != U_ENCLOSING_MARK) {
        bare.append(*folded, static_cast<size_t>(start), static_cast<size_t>(i - start));
      }
    }
  }
  // Marks alone: the name is only what they are.
  const std::string text = bare.empty() ? std::string(name) : ToUtf8(bare);
  if (!checker) return text;
  std::string out(text.size() * 4 + 32, '\0');
  status = U_ZERO_ERROR;
  int32_t length =
      uspoof_getSkeletonUTF8(checker, 0, text.c_str(), -1, out.data(), static_cast<int32_t>(out.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
    out.resize(static_cast<size_t>(length) + 1);
    length =
        uspoof_getSkeletonUTF8(checker, 0, text.c_str(), -1, out.data(), static_cast<int32_t>(out.size()), &status);
  }
  if (U_FAILURE(status)) return text;
  out.resize(static_cast<size_t>(length));
  return out;
}

}  // namespace score
