// Late-bound calls and Scripting.Dictionary through IDispatch, in ns per operation.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/automation/arithmetic.h"
#include "platform/automation/dispatch_call.h"
#include "platform/com/dispatch_object.h"
#include "platform/scriptruntime/dictionary.h"

namespace {

class Adder : public DispatchObject<Adder> {
 public:
  static std::span<const DispatchMember<Adder>> Members() {
    static constexpr DispatchMember<Adder> kMembers[] = {
        {u"Add", 1, kMethod, 2, 2, &Adder::Sum, u"Left,Right"},
    };
    return kMembers;
  }

 private:
  Result<Variant> Sum(const DispatchArguments& arguments) { return ::Add(arguments[0], arguments[1]); }
};

// One million calls of a two-argument method, by identifier (as a script engine calls after
// resolving the name once).
void LateBoundInvoke(benchmark::State& state) {
  ComPtr<Adder> adder = MakeObject<Adder>();
  DISPID add = GetDispatchId(adder.get(), u"Add").value();
  Variant left = Variant::FromI4(20);
  Variant right = Variant::FromI4(22);
  const VARIANT arguments[] = {left, right};
  for (auto _ : state) {
    Result<Variant> sum = InvokeDispatch(adder.get(), add, DISPATCH_METHOD, arguments);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(LateBoundInvoke)->Iterations(1'000'000);

std::vector<Variant> MakeKeys(size_t count) {
  std::vector<Variant> keys;
  keys.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    std::string text = "customer-" + std::to_string(i);
    keys.push_back(Variant::FromString(std::u16string(text.begin(), text.end())));
  }
  return keys;
}

// One million Add calls with string keys, then one million Item reads, through IDispatch.
void DictionaryAddThenLookup(benchmark::State& state) {
  constexpr size_t kKeys = 1'000'000;
  std::vector<Variant> keys = MakeKeys(kKeys);
  Variant value = Variant::FromI4(1);
  for (auto _ : state) {
    ComPtr<Dictionary> dictionary = MakeObject<Dictionary>();
    DISPID add = GetDispatchId(dictionary.get(), u"Add").value();
    for (const Variant& key : keys) {
      const VARIANT arguments[] = {key, value};
      benchmark::DoNotOptimize(InvokeDispatch(dictionary.get(), add, DISPATCH_METHOD, arguments));
    }
    for (const Variant& key : keys) {
      const VARIANT arguments[] = {key};
      benchmark::DoNotOptimize(InvokeDispatch(dictionary.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, arguments));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kKeys * 2));
}
BENCHMARK(DictionaryAddThenLookup)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
