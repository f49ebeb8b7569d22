// The shared pieces of the description members (see description_cells.h).
#include "tabulix32/render/description_cells.h"

#include "tabulix32/utilities/report_data_internal.h"

namespace {

constexpr std::u16string_view kGroupVariable = u"groupby";
constexpr std::u16string_view kGroupFieldColumn = u"groupField";

}  // namespace

Result<void> ClearGroupVariable(RenderUtilities& uc, InOutArgument& clause) {
  Variant name = Variant::FromString(kGroupVariable);
  Variant empty_text = Variant::FromString(u"");
  Variant changed =
      TRY(uc.Call(UtilityMember::changeQSVariable, {clause.value(), name, empty_text}));
  return clause.Set(changed);
}

Result<Variant> LinkTemplate(const VARIANT& column, const VARIANT& key_template,
                             const VARIANT& column_templates) {
  if (TRY(render_values::Equals(column, kGroupFieldColumn))) {
    return Variant(PeekValue(key_template));
  }
  return report_data::ItemAt(column_templates, column);
}
