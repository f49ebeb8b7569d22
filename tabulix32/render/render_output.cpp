// Appending a render method's HTML to the page's buffer (see render_output.h).
#include "tabulix32/render/render_output.h"

#include "platform/automation/dispatch_call.h"
#include "tabulix32/utilities/report_data_internal.h"
#include "tabulix32/utilities/string_buffer.h"
#include "tabulix32/utilities/utilities_text_internal.h"

namespace {

constexpr std::u16string_view kAppendMember = u"append";

}  // namespace

Result<void> RenderOutput::Resolve() {
  if (resolved_) return {};
  object_ = TRY(report_data::ObjectOf(sb_));
  direct_ = StringBuffer::InProcess(object_.get());
  if (direct_ == nullptr) append_ = TRY(GetDispatchId(object_.get(), kAppendMember));
  resolved_ = true;
  return {};
}

Result<void> RenderOutput::Write(std::u16string_view piece) {
  TRY(Resolve());
  if (direct_ != nullptr) return direct_->Append(piece);
  // Another object decides for itself what to keep; it gets every piece, as a string value.
  Variant text = TRY(utilities_internal::TextResult(piece));
  const VARIANT argument = text;
  TRY(InvokeDispatch(object_.get(), append_, DISPATCH_METHOD,
                     std::span<const VARIANT>(&argument, 1)));
  return {};
}

Result<void> RenderOutput::Write(std::initializer_list<std::u16string_view> pieces) {
  scratch_.clear();
  for (std::u16string_view piece : pieces) scratch_.append(piece);
  return Write(scratch_);
}
