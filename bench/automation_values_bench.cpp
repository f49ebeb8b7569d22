// Throughput of the value layer: additions, number-to-text conversion, comparison and
// concatenation, in ns per operation.
#include <benchmark/benchmark.h>

#include "platform/automation/arithmetic.h"
#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "platform/automation/format.h"
#include "platform/automation/locale.h"

namespace {

void LongAddition(benchmark::State& state) {
  Variant total = Variant::FromI4(0);
  Variant one = Variant::FromI4(1);
  for (auto _ : state) {
    Result<Variant> sum = Add(total, one);
    total = std::move(sum).value();
    if (total.vt != VT_I4) total = Variant::FromI4(0);
  }
  benchmark::DoNotOptimize(total);
}
BENCHMARK(LongAddition)->Iterations(10'000'000);

void MixedAddition(benchmark::State& state) {
  Variant total = Variant::FromR8(0.5);
  Variant step = Variant::FromI2(3);
  for (auto _ : state) {
    total = Add(total, step).value();
  }
  benchmark::DoNotOptimize(total);
}
BENCHMARK(MixedAddition)->Iterations(10'000'000);

void DoubleToString(benchmark::State& state) {
  SetThreadLocale(1033);
  double value = 1234.5678;
  for (auto _ : state) {
    Result<Bstr> text = ToBstr(Variant::FromR8(value));
    benchmark::DoNotOptimize(text);
    value += 0.25;
  }
}
BENCHMARK(DoubleToString)->Iterations(1'000'000);

// FormatNumber as report pages call it: two decimals, grouping, values with long fractions.
void FormatNumberTwoDecimals(benchmark::State& state) {
  SetThreadLocale(1033);
  double value = 1234.5678;
  for (auto _ : state) {
    Result<Bstr> text = FormatNumber(Variant::FromR8(value / 3), 2, TriState::UseDefault,
                                     TriState::UseDefault, TriState::UseDefault);
    benchmark::DoNotOptimize(text);
    value += 37.25;
  }
}
BENCHMARK(FormatNumberTwoDecimals)->Iterations(1'000'000);

void IntegerToString(benchmark::State& state) {
  int32_t value = 0;
  for (auto _ : state) {
    Result<Bstr> text = ToBstr(Variant::FromI4(value++));
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(IntegerToString)->Iterations(1'000'000);

void NumericStringToDouble(benchmark::State& state) {
  SetThreadLocale(1033);
  Variant text = Variant::FromString(u"12,345.678");
  for (auto _ : state) {
    Result<double> number = ToDouble(text);
    benchmark::DoNotOptimize(number);
  }
}
BENCHMARK(NumericStringToDouble)->Iterations(1'000'000);

void CompareNumbers(benchmark::State& state) {
  Variant a = Variant::FromI4(5);
  Variant b = Variant::FromR8(5.5);
  for (auto _ : state) {
    Result<Comparison> order = Compare(a, b);
    benchmark::DoNotOptimize(order);
  }
}
BENCHMARK(CompareNumbers)->Iterations(10'000'000);

void CompareStringsTextMode(benchmark::State& state) {
  Variant a = Variant::FromString(u"Quarterly revenue");
  Variant b = Variant::FromString(u"QUARTERLY REVENUE");
  for (auto _ : state) {
    Result<Comparison> order = Compare(a, b, CompareMode::Text);
    benchmark::DoNotOptimize(order);
  }
}
BENCHMARK(CompareStringsTextMode)->Iterations(1'000'000);

void CompareNumberWithNumericString(benchmark::State& state) {
  SetThreadLocale(1033);
  Variant a = Variant::FromI4(5);
  Variant b = Variant::FromString(u"5.5");
  for (auto _ : state) {
    Result<Comparison> order = Compare(a, b);
    benchmark::DoNotOptimize(order);
  }
}
BENCHMARK(CompareNumberWithNumericString)->Iterations(1'000'000);

void ConcatenateShortStrings(benchmark::State& state) {
  Variant a = Variant::FromString(u"<td>");
  Variant b = Variant::FromString(u"1,234.50</td>");
  for (auto _ : state) {
    Result<Variant> joined = Concatenate(a, b);
    benchmark::DoNotOptimize(joined);
  }
}
BENCHMARK(ConcatenateShortStrings)->Iterations(1'000'000);

}  // namespace

BENCHMARK_MAIN();
