// The report engine's hot paths as a page calls them: myFormatValue through IDispatch with a
// settings dictionary, and StringBuffer.append building a large report.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/automation/dispatch_call.h"
#include "platform/scriptruntime/dictionary.h"
#include "tabulix32/utilities/string_buffer.h"
#include "tabulix32/utilities/utilities_class.h"

namespace {

Variant Text(std::u16string_view text) { return Variant::FromString(std::u16string(text)); }

void AddSetting(Dictionary* settings, std::u16string_view key, Variant value) {
  Variant name = Text(key);
  const VARIANT arguments[] = {name, value};
  Result<Variant> added = CallMember(settings, u"Add", arguments);
  if (!added.ok()) std::abort();
}

// The settings of one quantity, as a report page fills them.
ComPtr<Dictionary> QuantitySettingsDictionary() {
  ComPtr<Dictionary> settings = MakeObject<Dictionary>();
  AddSetting(settings.get(), u"sales|thresholdvalue", Variant::FromI4(0));
  AddSetting(settings.get(), u"sales|thresholdcolouring", Text(u"red"));
  AddSetting(settings.get(), u"sales|numdigits", Variant::FromI4(2));
  AddSetting(settings.get(), u"sales|detail_numdigits", Text(u""));
  AddSetting(settings.get(), u"sales|quantity_formula_dnm", Text(u""));
  return settings;
}

// One million cells: a currency value with a denominator, half of them below the threshold
// (coloured), each call resolved by dispid as a script engine does after the first lookup.
void FormatValueThroughDispatch(benchmark::State& state) {
  ComPtr<UtilitiesClass> utilities = MakeObject<UtilitiesClass>();
  ComPtr<Dictionary> settings = QuantitySettingsDictionary();
  DISPID format_value = GetDispatchId(utilities.get(), u"myFormatValue").value();
  const std::u16string_view formats[] = {u"number", u"currency", u"percent"};
  int64_t calls = 0;
  for (auto _ : state) {
    for (int32_t i = 0; i < 1'000'000; ++i) {
      Variant arguments[] = {Text(u"sales"),
                             Variant::FromR8((i % 2 ? 1 : -1) * 1234.5 * (i % 97)),
                             Variant::FromI4(3),
                             Text(formats[i % 3]),
                             Variant::FromBool(true),
                             Variant::FromDispatch(settings.get()),
                             Text(u"EUR"),
                             Text(u"$"),
                             Text(u"#000000"),
                             Text(u""),
                             Text(u"sales_month")};
      VARIANT by_reference[11];
      for (size_t a = 0; a < 11; ++a) {
        by_reference[a].vt = VT_BYREF | VT_VARIANT;
        by_reference[a].pvarVal = &arguments[a];
      }
      Result<Variant> cell =
          InvokeDispatch(utilities.get(), format_value, DISPATCH_METHOD, by_reference);
      benchmark::DoNotOptimize(cell);
      ++calls;
    }
  }
  state.counters["calls/s"] = benchmark::Counter(static_cast<double>(calls),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(FormatValueThroughDispatch)->Iterations(1)->Unit(benchmark::kMillisecond);

// 10 MB of report HTML appended through IDispatch in pieces of a typical cell's size.
void AppendTenMegabytes(benchmark::State& state) {
  const size_t piece_length = static_cast<size_t>(state.range(0));
  constexpr size_t kTotalCharacters = 10'000'000;
  Variant piece = Text(std::u16string(piece_length, u'x'));
  const VARIANT arguments[] = {piece};
  int64_t characters = 0;
  for (auto _ : state) {
    ComPtr<StringBuffer> buffer = MakeObject<StringBuffer>();
    DISPID append = GetDispatchId(buffer.get(), u"append").value();
    for (size_t done = 0; done < kTotalCharacters; done += piece_length) {
      Result<Variant> appended = InvokeDispatch(buffer.get(), append, DISPATCH_METHOD, arguments);
      benchmark::DoNotOptimize(appended);
    }
    characters += static_cast<int64_t>(buffer->Content().size());
  }
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(characters) / 1e6,
                                              benchmark::Counter::kIsRate);
}
BENCHMARK(AppendTenMegabytes)->Arg(100)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
