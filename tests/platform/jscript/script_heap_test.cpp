// Heaps lent to runs: a run sees none of an earlier run's globals or changes to the built-ins,
// a heap goes back to the pool only as it was made, host objects are released when the run
// ends (even when the script left them in garbage cycles), and each heap has a memory limit.
#include "platform/jscript/script_heap.h"

#include <gtest/gtest.h>

#include "platform/jscript/compile.h"
#include "platform/jscript/script_runtime.h"
#include "tests/platform/jscript/jscript_test_site.h"
#include "tests/support/fake_dispatch.h"

namespace {

using jscript::AcquireHeap;
using jscript::ReleaseHeap;
using jscript::RunOutcome;
using jscript::ScriptHeap;
using jscript::ScriptRuntime;
using jscript_test::JScriptHarness;
using jscript_test::Narrow;
using jscript_test::TestSite;
using jscript_test::Widen;

// Runs `first` in one clone and `second` in a later clone of the same engine; what the second
// wrote.
std::string RunTwice(std::string_view first, std::string_view second) {
  TestSite site;
  ComPtr<IActiveScript> engine = CreateJScriptEngine();
  engine->SetScriptSite(&site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT);
  ComPtr<IActiveScriptParse> parse = engine.As<IActiveScriptParse>(IID_IActiveScriptParse);
  std::string output;
  for (std::string_view text : {first, second}) {
    IActiveScript* raw = nullptr;
    engine->Clone(&raw);
    ComPtr<IActiveScript> clone = ComPtr<IActiveScript>::Adopt(raw);
    TestSite clone_site;
    clone->SetScriptSite(&clone_site);
    ComPtr<IActiveScriptParse> clone_parse = clone.As<IActiveScriptParse>(IID_IActiveScriptParse);
    std::u16string wide = Widen(text);
    clone_parse->ParseScriptText(wide.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr, nullptr);
    clone->SetScriptState(SCRIPTSTATE_STARTED);
    clone->Close();
    output = Narrow(clone_site.out().text);
  }
  engine->Close();
  return output;
}

TEST(JScriptHeaps, ARunSeesNoneOfAnEarlierRunsGlobals) {
  EXPECT_EQ(RunTwice("var leaked = 1; function helper() {} undeclared = 2; this.viaThis = 3;",
                     "Out.Write([typeof leaked, typeof helper, typeof undeclared, typeof viaThis].join());"),
            "undefined,undefined,undefined,undefined");
  // Nor its last match: RegExp.$1 could otherwise show another page's data.
  EXPECT_EQ(RunTwice("/(secret)/.test('a secret');", "Out.Write('[' + RegExp.$1 + RegExp.input + ']' + RegExp.index);"),
            "[]-1");
}

TEST(JScriptHeaps, ARunSeesNoneOfAnEarlierRunsChangesToBuiltIns) {
  EXPECT_EQ(RunTwice("String.prototype.shout = function () { return 'x'; }; Array.prototype.push = null; "
                     "Math.PI2 = 6; Object.prototype.everywhere = 1; Object.freeze(JSON);",
                     "var a = []; a.push(1); Out.Write([typeof ''.shout, a.length, typeof Math.PI2, "
                     "typeof ({}).everywhere, Object.isFrozen(JSON)].join());"),
            "undefined,1,undefined,undefined,false");
}

class NoItems : public jscript::RuntimeHost {
 public:
  Result<ComPtr<IDispatch>> NamedItemObject(std::u16string_view) override { return ErrorNumber::ObjectRequired; }
};

// Runs `text` in a runtime and ends it; whether its heap went back to the pool.
bool HeapReturnsToThePool(std::string_view text) {
  NoItems host;
  ScriptHeap* used = nullptr;
  {
    std::unique_ptr<ScriptRuntime> runtime = ScriptRuntime::Create(&host);
    used = ScriptHeap::Of(runtime->context());
    jscript::CompileFailure failure;
    std::u16string wide = Widen(text);
    auto compiled = jscript::CompileScript(runtime->context(), {wide}, &failure);
    EXPECT_NE(runtime->Run(*compiled, nullptr), RunOutcome::Failed);
  }
  std::unique_ptr<ScriptHeap> next = AcquireHeap();
  bool same = next.get() == used;
  ReleaseHeap(std::move(next), true);
  return same;
}

// Changes a run made to the built-ins (as pages that add helpers to String.prototype do).
constexpr const char* kBuiltInChanges =
    "Array.prototype.extra = 1; delete Math.max; String.prototype.trim = null; Error.prototype.number = 7;\n"
    "Object.defineProperty(Date.prototype, 'getDay', {value: function () { return 9; }});\n"
    "Object.getPrototypeOf(this).escape = 5; Object.setPrototypeOf(Math, null);";

TEST(JScriptHeaps, ChangedBuiltInsArePutBackAndTheHeapReused) {
  EXPECT_TRUE(HeapReturnsToThePool("var x = {a: [1, 2, 3]}; function f() { return x; } f();"));
  // The last match is kept on the run's global, not on the built-ins.
  EXPECT_TRUE(HeapReturnsToThePool("/(a)/.test('a'); 'k=v'.match(/(\\w)=/); RegExp.$1;"));
  EXPECT_TRUE(HeapReturnsToThePool(kBuiltInChanges));
  EXPECT_EQ(RunTwice(kBuiltInChanges,
                     "Out.Write([typeof [].extra, typeof Math.max, new Date(2024, 0, 1).getDay(), typeof ''.trim, "
                     "typeof escape, new Error('x').number, Object.getPrototypeOf(Math) === Object.prototype].join());"),
            "undefined,function,1,function,function,0,true");
}

// The bytes a heap holds when it is back in the pool after running `text` `runs` times.
size_t BytesAfterRuns(std::string_view text, int runs) {
  for (int i = 0; i < runs; ++i) EXPECT_TRUE(HeapReturnsToThePool(text));
  std::unique_ptr<ScriptHeap> heap = AcquireHeap();
  size_t bytes = heap->bytes_in_use();
  ReleaseHeap(std::move(heap), true);
  return bytes;
}

// A run's global object refers to itself (globalThis); it must still go when the run ends, not
// pile up until a full collection of the heap.
TEST(JScriptHeaps, ARunsGlobalObjectGoesWhenTheRunEnds) {
  constexpr const char* kPage = "var list = [1, 2, 3].join('-'); this.copy = list;";
  size_t settled = BytesAfterRuns(kPage, 5);
  EXPECT_LT(BytesAfterRuns(kPage, 200), settled + 4096);
  EXPECT_EQ(RunTwice("Out.Write(globalThis === this);", "Out.Write(typeof globalThis + (globalThis === this));"),
            "objecttrue");
}

TEST(JScriptHeaps, HeapsWhoseBuiltInsCannotBePutBackAreNotReused) {
  EXPECT_FALSE(HeapReturnsToThePool("Object.freeze(Math);"));
  EXPECT_FALSE(HeapReturnsToThePool("Object.preventExtensions(Array.prototype);"));
  EXPECT_FALSE(HeapReturnsToThePool("Object.defineProperty(Object.prototype, 'fixed', {value: 1});"));
}

TEST(JScriptHeaps, BuiltInMethodsCannotBeChanged) {
  jscript_test::ExpectOutputs({
      {"Math.max.extra = 1; Out.Write(typeof Math.max.extra);", "undefined"},
      {"(function () { 'use strict'; try { String.prototype.trim.x = 1; } catch (e) { Out.Write('refused'); } })();",
       "refused"},
      {"String.prototype.trim = function () { return 'mine'; }; Out.Write(' a '.trim());", "mine"},
  });
}

// The accessors that bind named items are shared by the runs of a heap: no run may change them.
TEST(JScriptHeaps, TheAccessorsOfNamedItemsCannotBeChanged) {
  EXPECT_EQ(RunTwice("var d = Object.getOwnPropertyDescriptor(this, 'Out'); d.get.extra = 1; d.set.extra = 2;",
                     "var d = Object.getOwnPropertyDescriptor(this, 'Out');\n"
                     "var seen = typeof d.get.extra + ',' + typeof d.set.extra; Out.Write(seen);"),
            "undefined,undefined");
}

TEST(JScriptHeaps, HostObjectsAreReleasedWhenTheRunEndsEvenFromGarbageCycles) {
  FakeDispatch thing(Variant::FromI4(1));
  JScriptHarness harness;
  harness.site().extra_items[u"Thing"] = &thing;
  harness.engine()->AddNamedItem(u"Thing", SCRIPTITEM_ISVISIBLE);
  harness.Run("(function () { var held = Thing; function keep() { return held; } keep.self = keep; })();");
  EXPECT_GT(thing.references(), 0u);
  harness.engine()->SetScriptState(SCRIPTSTATE_INITIALIZED);
  EXPECT_EQ(thing.references(), 0u);
}

TEST(JScriptHeaps, EachHeapHasAMemoryLimit) {
  std::unique_ptr<ScriptHeap> heap = ScriptHeap::Create(size_t{4} << 20);
  ASSERT_TRUE(heap);
  duk_context* ctx = heap->context();
  EXPECT_NE(duk_peval_string(ctx, "var s = 'x'; for (var i = 0; i < 30; i++) s += s;"), 0);
  duk_pop(ctx);
  EXPECT_LE(heap->bytes_in_use(), size_t{4} << 20);
  EXPECT_EQ(duk_peval_string(ctx, "1 + 1"), 0);
  EXPECT_EQ(duk_get_int(ctx, -1), 2);
  duk_pop(ctx);
}

}  // namespace
