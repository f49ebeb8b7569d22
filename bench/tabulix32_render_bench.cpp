// A report as a page renders it, from C++ through IDispatch: 10,000 rows of 5 quantities in
// 100 groups, each row's quantity cells with their share of the report total, a group-total row
// per group and the grand-total row. Every call is made by dispatch identifier with every
// argument a variable passed by reference, as the VBScript engine calls. Prints formatted cells
// and MB of HTML per second. The same report is rendered by bench/tabulix32_render/report.vbs;
// bench/tabulix32_render/run.sh compares the two outputs and times both sides.
//
// RENDER_BENCH_HTML=FILE writes the report's HTML (UTF-8) to FILE once, for that comparison.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/scriptruntime/dictionary.h"
#include "platform/system/code_page.h"
#include "tabulix32/render/report_render.h"
#include "tabulix32/utilities/string_buffer.h"
#include "tabulix32/utilities/utilities_class.h"

namespace {

constexpr int kRows = 10'000;
constexpr int kRowsPerGroup = 100;
constexpr int kQuantities = 5;
// Formatted cells: a value and its share per row and quantity, the same per group, and the
// grand totals.
constexpr int64_t kCells = int64_t{kRows} * kQuantities * 2 +
                           int64_t{kRows / kRowsPerGroup} * kQuantities * 2 + kQuantities;

Variant Text(std::u16string_view text) { return Variant::FromString(text); }

// prefix followed by the number's digits ("R17", "q3").
std::u16string Numbered(std::u16string_view prefix, int value) {
  std::string digits = std::to_string(value);
  std::u16string text(prefix);
  text.append(digits.begin(), digits.end());
  return text;
}

// A quantity's value in a row; the page's formula too (report.vbs).
double ValueOf(int row, int quantity) {
  return ((row * 37 + quantity * 101) % 1000) + 0.25 * quantity;
}

ComPtr<Dictionary> NewDictionary() { return MakeObject<Dictionary>(); }

void Add(Dictionary* dictionary, const Variant& key, const Variant& item) {
  const VARIANT arguments[] = {key, item};
  if (!CallMember(dictionary, u"Add", arguments).ok()) std::abort();
}

// The page: its variables by parameter name, and the calls it makes.
class ReportPage {
 public:
  ReportPage() {
    SetThreadLocale(1033);
    Set(u"sb", Variant::FromDispatch(buffer_.get()));
    Set(u"uc", Variant::FromDispatch(utilities_.get()));
    Set(u"default_font_size", Text(u"8"));
    Set(u"default_font_family", Text(u"Tahoma"));
    Set(u"default_font_color", Text(u"#000000"));
    Set(u"currency_symbol", Text(u""));
    Set(u"system_currency_symbol", Text(u"$"));
    Set(u"negative_num_format", Text(u""));
    Set(u"reporttype1", Text(u"customer"));
    Set(u"report_rows", Text(u"Yes"));
    Set(u"enable_nondrilldown_hyperlinks", Variant::FromBool(true));
    Set(u"group_print_style", Text(u""));
    Set(u"numDescriptionColumns", Variant::FromI4(1));
    Set(u"totalTitle", Text(u"Total "));
    Set(u"grand_total", Text(u"Yes"));
    Set(u"numRows", Variant::FromI4(kRows));
    FillReport();
  }

  // One whole report into an empty buffer; returns its length in characters.
  size_t Render() {
    buffer_->Clear();
    Variant row_start = Text(u"<tr>");
    Variant row_end = Text(u"</tr>");
    for (int group = 0; group < kRows / kRowsPerGroup; ++group) {
      Set(u"colTotals", Variant::FromDispatch(NewDictionary().get()));
      Set(u"colTotalDenoms", Variant::FromDispatch(NewDictionary().get()));
      for (int row = group * kRowsPerGroup; row < (group + 1) * kRowsPerGroup; ++row) {
        Set(u"rep_key", Text(Numbered(u"R", row)));
        Append(row_start);
        Call(u"analysis_drilldown_quantities");
        Append(row_end);
      }
      Set(u"groupdescr", Text(Numbered(u"Group ", group)));
      Set(u"numGroupRows", Variant::FromI4(kRowsPerGroup));
      Set(u"reportKeys", group_keys_[group]);
      Call(u"renderGroupedTotals");
    }
    Set(u"reportKeys", all_keys_);
    Set(u"totalTitle", Text(u"Grand total "));
    Call(u"analysis_ShowGrandTotals");
    Set(u"totalTitle", Text(u"Total "));
    return buffer_->Content().size();
  }

  std::u16string_view Html() const { return buffer_->Content(); }

 private:
  void Set(std::u16string_view name, Variant value) {
    variables_[std::u16string(name)] = std::move(value);
  }

  void FillReport() {
    ComPtr<Dictionary> quantities = NewDictionary(), settings = NewDictionary(),
                       types = NewDictionary(), formats = NewDictionary(),
                       denominators = NewDictionary(), numerators = NewDictionary(),
                       cell_denominators = NewDictionary(), has_denominators = NewDictionary(),
                       cell_formats = NewDictionary(), grand = NewDictionary(),
                       grand_denominators = NewDictionary(), all_keys = NewDictionary();
    const char16_t* kFormats[kQuantities] = {u"number", u"number", u"number", u"currency",
                                             u"percent"};
    std::array<double, kQuantities> grand_totals{}, grand_denominator_totals{};
    for (int q = 1; q <= kQuantities; ++q) {
      std::u16string name = Numbered(u"q", q);
      Add(quantities.get(), Text(name), Text(u""));
      Add(settings.get(), Text(name + std::u16string(u"|numdigits")),
          Variant::FromI4(q == 5 ? 1 : 2));
      Add(settings.get(), Text(name + u"|showPercentage"), Text(u"Yes"));
      Add(settings.get(), Text(name + u"|all_format"), Text(q == 2 ? u"color=navy" : u""));
      Add(types.get(), Text(name), Text(q == 5 ? u"average" : u"sum"));
      Add(formats.get(), Text(name), Text(kFormats[q - 1]));
      Add(denominators.get(), Text(name), Text(q == 5 ? u"cost" : u""));
    }
    for (int group = 0; group < kRows / kRowsPerGroup; ++group) {
      group_keys_.push_back(Variant::FromDispatch(NewDictionary().get()));
    }
    for (int row = 0; row < kRows; ++row) {
      std::u16string key = Numbered(u"R", row);
      Add(all_keys.get(), Text(key), Text(key));
      Add(static_cast<Dictionary*>(group_keys_[row / kRowsPerGroup].pdispVal), Text(key),
          Text(key));
      for (int q = 1; q <= kQuantities; ++q) {
        std::u16string cell = key;
        cell.append(Numbered(u"_q", q));
        double value = ValueOf(row, q);
        bool ratio = q == 5;
        Add(numerators.get(), Text(cell), Variant::FromR8(value));
        Add(cell_denominators.get(), Text(cell), ratio ? Variant::FromR8(value + 50) : Text(u""));
        Add(has_denominators.get(), Text(cell), Variant::FromBool(ratio));
        Add(cell_formats.get(), Text(cell), Text(kFormats[q - 1]));
        grand_totals[q - 1] += value;
        if (ratio) grand_denominator_totals[q - 1] += value + 50;
      }
    }
    for (int q = 1; q <= kQuantities; ++q) {
      Add(grand.get(), Text(Numbered(u"q", q)), Variant::FromR8(grand_totals[q - 1]));
      if (q == 5) {
        Add(grand_denominators.get(), Text(u"q5"), Variant::FromR8(grand_denominator_totals[4]));
      }
    }
    Set(u"reportVisibleQtys", Variant::FromDispatch(quantities.get()));
    Set(u"cache_schemaReportQuantities", Variant::FromDispatch(settings.get()));
    Set(u"repTotalTypes", Variant::FromDispatch(types.get()));
    Set(u"repQtyFormats", Variant::FromDispatch(formats.get()));
    Set(u"repQtyDenoms", Variant::FromDispatch(denominators.get()));
    Set(u"reportQtyNum", Variant::FromDispatch(numerators.get()));
    Set(u"reportQtyDenom", Variant::FromDispatch(cell_denominators.get()));
    Set(u"reportHasDenom", Variant::FromDispatch(has_denominators.get()));
    Set(u"reportQtyFormat", Variant::FromDispatch(cell_formats.get()));
    Set(u"grandTotals", Variant::FromDispatch(grand.get()));
    Set(u"grandTotalDenoms", Variant::FromDispatch(grand_denominators.get()));
    all_keys_ = Variant::FromDispatch(all_keys.get());
  }

  // sb.append piece, as the page writes its own tags.
  void Append(const Variant& piece) {
    if (append_ == DISPID_UNKNOWN) append_ = GetDispatchId(buffer_.get(), u"append").value();
    const VARIANT argument = piece;
    if (!InvokeDispatch(buffer_.get(), append_, DISPATCH_METHOD, std::span(&argument, 1)).ok()) {
      std::abort();
    }
  }

  // A render method, its dispatch identifier looked up once, every argument by reference.
  void Call(std::u16string_view method) {
    Prepared& prepared = prepared_[std::u16string(method)];
    if (prepared.dispid == DISPID_UNKNOWN) {
      prepared.dispid = GetDispatchId(render_.get(), method).value();
      for (const DispatchMember<ReportRender>& member : ReportRender::Members()) {
        if (member.name != method) continue;
        std::u16string_view list = member.parameters;
        while (true) {
          size_t comma = list.find(u',');
          prepared.names.emplace_back(list.substr(0, comma));
          if (comma == std::u16string_view::npos) break;
          list.remove_prefix(comma + 1);
        }
      }
    }
    // The page's variables are resolved once per member, as a script's locals are.
    if (prepared.arguments.empty()) {
      for (const std::u16string& name : prepared.names) {
        prepared.arguments.push_back(Variant::RefTo(&variables_[name]));
      }
    }
    const std::vector<VARIANT>& arguments = prepared.arguments;
    Result<Variant> outcome =
        InvokeDispatch(render_.get(), prepared.dispid, DISPATCH_METHOD, arguments);
    if (!outcome.ok()) {
      std::fprintf(stderr, "render call failed: %d\n", outcome.error().Number());
      std::abort();
    }
  }

  struct Prepared {
    DISPID dispid = DISPID_UNKNOWN;
    std::vector<std::u16string> names;
    std::vector<VARIANT> arguments;  // references to the page's variables
  };

  ComPtr<ReportRender> render_ = MakeObject<ReportRender>();
  ComPtr<StringBuffer> buffer_ = MakeObject<StringBuffer>();
  ComPtr<UtilitiesClass> utilities_ = MakeObject<UtilitiesClass>();
  std::map<std::u16string, Variant> variables_;
  std::map<std::u16string, Prepared> prepared_;
  std::vector<Variant> group_keys_;
  Variant all_keys_;
  DISPID append_ = DISPID_UNKNOWN;
};

void WriteHtmlWhenAsked(const ReportPage& page) {
  const char* path = std::getenv("RENDER_BENCH_HTML");
  if (path == nullptr) return;
  std::string bytes = TextToBytes(page.Html(), CP_UTF8);
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

void RenderReportThroughDispatch(benchmark::State& state) {
  ReportPage page;
  size_t characters = page.Render();  // a first render, also the one compared with the page's
  WriteHtmlWhenAsked(page);
  int64_t cells = 0;
  int64_t written = 0;
  for (auto _ : state) {
    characters = page.Render();
    benchmark::DoNotOptimize(characters);
    cells += kCells;
    written += static_cast<int64_t>(characters);
  }
  state.counters["cells/s"] =
      benchmark::Counter(static_cast<double>(cells), benchmark::Counter::kIsRate);
  state.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(written) / 1e6, benchmark::Counter::kIsRate);
  state.counters["chars"] = static_cast<double>(characters);
}
BENCHMARK(RenderReportThroughDispatch)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
