// Membership test for the standard containers.
//
// IsIn is declared outside limonp, in the namespace that encloses both the
// engine (jieba) and its utilities (limonp), so an unqualified IsIn(set, key)
// finds it from either; adding it to namespace std would be undefined
// behaviour. limonp::IsIn names the same function.
#ifndef VORDA_TYPING_TEXT_LIMONP_STD_EXTENSION_H_
#define VORDA_TYPING_TEXT_LIMONP_STD_EXTENSION_H_

namespace vorda {
namespace typing {
namespace text {

template <class ContainType, class KeyType>
inline bool IsIn(const ContainType& contain, const KeyType& key) {
  return contain.end() != contain.find(key);
}

namespace limonp {
using ::vorda::typing::text::IsIn;
}  // namespace limonp

}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_LIMONP_STD_EXTENSION_H_
