// Script classes: fields, methods, properties, defaults, Me, construction and termination,
// and instances called through IDispatch by other objects.
#include <gtest/gtest.h>

#include "platform/automation/dispatch_call.h"
#include "tests/platform/vbscript/script_test_site.h"

namespace {

using vbscript_test::ExpectOutputs;
using vbscript_test::ScriptHarness;

constexpr const char* kCounter =
    "Class Counter\n"
    " Private count_\n"
    " Public Name\n"
    " Private Sub Class_Initialize\n"
    "  count_ = 0\n"
    "  Name = \"counter\"\n"
    " End Sub\n"
    " Public Sub Add(n)\n"
    "  count_ = count_ + n\n"
    " End Sub\n"
    " Public Property Get Count\n"
    "  Count = count_\n"
    " End Property\n"
    " Public Property Let Count(v)\n"
    "  count_ = v * 10\n"
    " End Property\n"
    " Public Function Twice()\n"
    "  Twice = Doubled()\n"
    " End Function\n"
    " Private Function Doubled()\n"
    "  Doubled = count_ * 2\n"
    " End Function\n"
    "End Class\n";


TEST(Classes, FieldsMethodsAndProperties) {
  ExpectOutputs(kCounter, {
      {"Set c = New Counter\nc.Add 2\nc.Add 3\nOut.Write c.Count", "5"},
      {"Set c = New Counter\nc.Count = 4\nOut.Write c.Count", "40"},
      {"Set c = New Counter\nc.Add 4\nOut.Write c.Twice()", "8"},
      {"Set c = New Counter\nOut.Write c.Name\nc.Name = \"x\"\nOut.Write c.Name", "counterx"},
      {"Set c = New Counter\nOut.Write TypeName(c)", "Counter"},
      {"Set c = New Counter\nc.ADD 1\nOut.Write c.count", "1"},
      {"Set a = New Counter\nSet b = New Counter\na.Add 1\nOut.Write a.Count & b.Count & (a Is b)", "10False"},
      {"Set a = New Counter\nSet b = a\nb.Add 7\nOut.Write a.Count & (a Is b)", "7True"},
      {"Sub Bump(c)\n c.Add 1\nEnd Sub\nSet x = New Counter\nBump x\nBump x\nOut.Write x.Count", "2"},
      {"Dim list(2)\nFor i = 0 To 2\n Set list(i) = New Counter\n list(i).Add i\nNext\nOut.Write list(2).Count", "2"},
  });
}

TEST(Classes, DefaultMembers) {
  ExpectOutputs("", {
      {"Class C\n Public Default Function Value()\n Value = 42\n End Function\nEnd Class\n"
       "Set o = New C\nOut.Write o & \" \" & (o + 1)",
       "42 43"},
      {"Class C\n Private items(3)\n Public Default Property Get Item(i)\n Item = items(i)\n End Property\n"
       " Public Property Let Item(i, v)\n items(i) = v\n End Property\nEnd Class\n"
       "Set o = New C\no.Item(2) = \"b\"\nOut.Write o(2) & o.Item(2)",
       "bb"},
      {"Class C\n Public Default Property Get V\n V = 7\n End Property\nEnd Class\n"
       "Set o = New C\nx = o\nOut.Write x & TypeName(x)",
       "7Integer"},
  });
}

TEST(Classes, MeAndPrivateMembers) {
  ExpectOutputs("", {
      {"Class C\n Public V\n Function Self()\n Set Self = Me\n End Function\n Sub SetV(x)\n Me.V = x\n End Sub\n"
       "End Class\nSet o = New C\no.SetV 3\nOut.Write o.Self().V & (o.Self() Is o)",
       "3True"},
      {"Class C\n Private secret\n Sub Class_Initialize\n secret = \"s\"\n End Sub\n"
       " Function Reveal(other)\n Reveal = other.secret\n End Function\nEnd Class\n"
       "Set a = New C\nSet b = New C\nOn Error Resume Next\nx = a.Reveal(b)\nOut.Write Err.Number",
       "438"},
      {"Class C\n Private secret\n Function Get1\n Get1 = Me.secret & \"!\"\n End Function\nEnd Class\n"
       "Set a = New C\nOut.Write a.Get1",
       "!"},
      {"Class C\n Public Arr(2)\n Sub Fill\n For i = 0 To 2\n Arr(i) = i * i\n Next\n End Sub\nEnd Class\n"
       "Set o = New C\no.Fill\nOut.Write o.Arr(2) & UBound(o.Arr)",
       "42"},
      {"Class C\n Property Get Items\n Items = Array(\"x\", \"y\")\n End Property\nEnd Class\nSet o = New C\n"
       "Out.Write o.Items(1)",
       "y"},
      {"Class Node\n Public NextNode\n Public V\nEnd Class\nSet a = New Node\nSet b = New Node\n"
       "a.V = 1: b.V = 2\nSet a.NextNode = b\nOut.Write a.NextNode.V",
       "2"},
      {"Class C\n Private v\n Property Get P\n Set P = v\n End Property\n Property Set P(o)\n Set v = o\n End Property\n"
       "End Class\nSet c1 = New C\nSet c1.P = Out\nc1.P.Write \"via set\"",
       "via set"},
  });
}

TEST(Classes, InitializeAndTerminateRunAtTheRightTimes) {
  constexpr const char* kNoisy =
      "Class Noisy\n"
      " Public Tag\n"
      " Sub Class_Initialize\n  Out.Write \"+\"\n End Sub\n"
      " Sub Class_Terminate\n  Out.Write \"-\" & Tag\n End Sub\n"
      "End Class\n";
  ExpectOutputs(kNoisy, {
      {"Set o = New Noisy\no.Tag = \"a\"\nOut.Write \"[\"\nSet o = Nothing\nOut.Write \"]\"", "+[-a]"},
      {"Sub S\n Dim o\n Set o = New Noisy\n o.Tag = \"l\"\nEnd Sub\nS\nOut.Write \".\"", "+-l."},
      {"Set o = New Noisy\no.Tag = 1\nSet o = New Noisy\nOut.Write \".\"", "++-1."},
      {"Set a = New Noisy\nSet b = a\nSet a = Nothing\nOut.Write \".\"\nSet b = Nothing", "+.-"},
      {"Function Make()\n Set Make = New Noisy\nEnd Function\nMake\nOut.Write \".\"", "+-."},
      {"For i = 1 To 3\n With New Noisy\n .Tag = i\n If i = 1 Then Exit For\n End With\nNext\nOut.Write \".\"", "+-1."},
      {"Do\n Select Case New Noisy Is Nothing\n Case False\n Exit Do\n End Select\nLoop\nOut.Write \".\"", "+-."},
      {"Sub S\n With New Noisy\n .Tag = \"w\"\n Exit Sub\n End With\nEnd Sub\nS\nOut.Write \".\"", "+-w."},
  });
}

TEST(Classes, GlobalInstancesTerminateWhenTheEngineIsDone) {
  ScriptHarness harness;
  harness.Run("Class C\n Sub Class_Terminate\n Out.Write \"bye\"\n End Sub\nEnd Class\nSet o = New C\nOut.Write \"end \"");
  EXPECT_EQ(harness.output(), "end ");
  harness.engine()->Close();
  EXPECT_EQ(harness.output(), "end bye");
}

TEST(Classes, ErrorsInTerminateAreNotReported) {
  ScriptHarness harness;
  harness.Run("Class C\n Sub Class_Terminate\n x = 1 / 0\n End Sub\nEnd Class\nSet o = New C\nSet o = Nothing\nOut.Write \"ok\"");
  EXPECT_EQ(harness.output(), "ok");
  EXPECT_TRUE(harness.site().errors.empty());
}

TEST(Classes, UndefinedClassIsAnError) {
  ScriptHarness harness;
  harness.Run("Set x = New Missing");
  EXPECT_EQ(harness.last_error().number(), 506);
}

TEST(Classes, InstancesAnswerIDispatchForOtherObjects) {
  ScriptHarness harness;
  harness.Run(std::string(kCounter) + "Set c = New Counter\nc.Add 5\nSet Out.Value = c");
  ASSERT_TRUE(harness.site().errors.empty());
  Variant value;
  {
    Result<Variant> held = CallMember(&harness.site().out(), u"Value");
    ASSERT_TRUE(held.ok());
    value = held.value();
  }
  ASSERT_EQ(value.vt, VT_DISPATCH);
  IDispatch* counter = value.pdispVal;

  Result<Variant> count = CallMember(counter, u"Count");
  ASSERT_TRUE(count.ok());
  EXPECT_EQ(ToInt32(count.value()).value(), 5);

  Variant three = Variant::FromI2(3);
  ASSERT_TRUE(CallMember(counter, u"Add", std::span<const VARIANT>(static_cast<VARIANT*>(&three), 1)).ok());
  EXPECT_EQ(ToInt32(CallMember(counter, u"Count").value()).value(), 8);

  ASSERT_TRUE(PutMember(counter, u"Name", {}, Variant::FromString(u"renamed")).ok());
  EXPECT_EQ(ToBstr(CallMember(counter, u"Name").value()).value().view(), u"renamed");

  // Private members are not visible from outside.
  EXPECT_FALSE(GetDispatchId(counter, u"Doubled").ok());
  EXPECT_FALSE(GetDispatchId(counter, u"count_").ok());

  // Once the run is over, the instance no longer works.
  harness.engine()->Close();
  Result<Variant> after = CallMember(counter, u"Count");
  EXPECT_FALSE(after.ok());
}

TEST(Classes, ErrorsInsideMethodsReachOutsideCallers) {
  ScriptHarness harness;
  harness.Run("Class C\n Function Fail()\n Err.Raise 1234, \"Mine\", \"custom\"\n End Function\nEnd Class\n"
              "Set Out.Value = New C");
  Result<Variant> held = CallMember(&harness.site().out(), u"Value");
  ASSERT_TRUE(held.ok());
  Result<Variant> outcome = CallMember(held.value().pdispVal, u"Fail");
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 1234);
  EXPECT_EQ(outcome.error().Description(), u"custom");
  EXPECT_EQ(outcome.error().Source(), u"Mine");
}

}  // namespace
