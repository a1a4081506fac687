// The base of the segmenters whose words can also be tagged with parts of
// speech from their dictionary.
#ifndef VORDA_TYPING_TEXT_JIEBA_SEGMENT_TAGGED_H_
#define VORDA_TYPING_TEXT_JIEBA_SEGMENT_TAGGED_H_

#include <string>
#include <utility>
#include <vector>

#include "tokenizer/jieba/SegmentBase.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

class DictTrie;

class SegmentTagged : public SegmentBase {
 public:
  SegmentTagged() {}
  virtual ~SegmentTagged() {}

  // Cuts src and pairs every word with its tag.
  virtual bool Tag(const std::string& src,
                   std::vector<std::pair<std::string, std::string>>& res) const = 0;

  // The dictionary the tags are looked up in.
  virtual const DictTrie* GetDictTrie() const = 0;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_SEGMENT_TAGGED_H_
