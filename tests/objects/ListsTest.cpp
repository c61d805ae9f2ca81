// Combo and list boxes: items, the selection and the variable both ways,
// and their queued actions.
#include "InputTestSupport.h"
#include "objects/ObjButtons.h"
#include "objects/ObjLists.h"

using namespace vl;
using namespace vltest;

namespace {

class Lists : public InputTest {
 protected:
  TVellionComboBox* Combo(std::string_view name = "C") { return As<TVellionComboBox>(name); }
  TVellionListBox* List(std::string_view name = "L") { return As<TVellionListBox>(name); }
  void Select(std::string_view name, const char* text) {
    AnsiString why;
    EXPECT_TRUE(Obj(name)->SelectText(text, why)) << why;
  }
};

TEST_F(Lists, ItemsAreLinesSortedWhenAskedAndFollowTheirVariables) {
  EXPECT_EQ(SplitItems("b\r\na\nC\r\n", true), (std::vector<AnsiString>{"a", "b", "C"}));
  EXPECT_EQ(SplitItems("x\r\n\r\ny", false), (std::vector<AnsiString>{"x", "", "y"}));
  SetVariable("[Fruit]", "apple");
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=11\nName=C\nW=100\nText=[Fruit]\xB6pear\nVarName=Pick\n"
                   "ObjectType=10\nName=L\nW=100\nH=80\nText=z\xB6y\xB6x\nSorted=Yes\n"));
  EXPECT_EQ(Combo()->Items(), (std::vector<AnsiString>{"apple", "pear"}));
  EXPECT_EQ(List()->Items(), (std::vector<AnsiString>{"x", "y", "z"}));
  Select("C", "apple");
  EXPECT_EQ(Var("Pick"), "apple");
  // A new value of the item's variable rebuilds the items; the selection
  // follows the bound variable.
  SetVariable("[Fruit]", "plum");
  EXPECT_EQ(Combo()->Items(), (std::vector<AnsiString>{"plum", "pear"}));
  EXPECT_EQ(Combo()->ComboBox()->currentIndex(), -1);
  // The combo's height follows its inner control.
  EXPECT_EQ(Combo()->height(), Combo()->ComboBox()->height() + 2 * Combo()->LineWidth());
}

TEST_F(Lists, ComboByIndexWritesTheNumberAndQueuesItsChangeAction) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=11\nName=C\nW=100\nText=a\xB6" "b\xB6" "c\nVarName=Pick\nVarType=1\n"
                   "ObjAction=SetVar \"[n]\" \"![n]x\"\n"
                   "ObjectType=11\nName=Free\nW=100\nText=a\xB6" "b\nObjAction=SetVar \"[free]\" \"ran\"\n"));
  ActionSpy& s = Spy("C");
  SetVariable("[Pick]", "0");
  EXPECT_EQ(Combo()->ComboBox()->currentIndex(), -1);
  SetVariable("[Pick]", "2");
  EXPECT_EQ(Combo()->ComboBox()->currentIndex(), 1);
  SetVariable("[Pick]", "two");
  EXPECT_EQ(Combo()->ComboBox()->currentIndex(), -1);
  Drain();
  EXPECT_EQ(Var("n"), "");  // following the variable runs nothing
  Select("C", "c");
  EXPECT_EQ(Var("Pick"), "3");
  Select("C", "c");  // the same value again: nothing new
  Drain();
  EXPECT_EQ(Var("n"), "x");
  EXPECT_EQ(s.codes, (std::vector<int>{evSelectionChanged}));
  // Without a variable the change action never runs.
  Select("Free", "b");
  Drain();
  EXPECT_EQ(Var("free"), "");
  AnsiString why;
  EXPECT_FALSE(Obj("C")->SelectText("zzz", why));
  EXPECT_NE(why.find("no item"), AnsiString::npos);
  // Disabled with the object: no selection by the reader.
  Combo()->SetEnabledState(false);
  EXPECT_FALSE(Combo()->ComboBox()->isEnabled());
  EXPECT_FALSE(Obj("C")->SelectText("a", why));
  EXPECT_EQ(Var("Pick"), "3");
}

TEST_F(Lists, ComboByTextMatchesWithoutRegardToCase) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=11\nName=C\nW=100\nText=Red\xB6red\xB6" "Blue\nVarName=Col\n"));
  SetVariable("[Col]", "BLUE");
  EXPECT_EQ(Combo()->ComboBox()->currentIndex(), 2);
  SetVariable("[Col]", "RED");
  EXPECT_EQ(Combo()->ComboBox()->currentIndex(), 0);
  Select("C", "red");  // the reader picks the second, exactly
  EXPECT_EQ(Var("Col"), "red");
  SetVariable("[Col]", "Red");  // the current item still matches: kept
  EXPECT_EQ(Combo()->ComboBox()->currentIndex(), 1);
}

TEST_F(Lists, MultiSelectListTakesBarsOrCarriageReturnsAndWritesCarriageReturns) {
  SetVariable("[Sel]", "A|c");
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=10\nName=L\nW=100\nH=80\nText=A\xB6" "B\xB6" "C\nVarName=Sel\n"
                   "MultiSelect=Yes\nObjAction=SetVar \"[n]\" \"![n]x\"\nDblClick=SetVar \"[d]\" \"![d]y\"\n"
                   "ObjectType=10\nName=One\nW=100\nH=80\nText=A\xB6" "B\nVarName=One\nVarType=1\n"));
  ActionSpy& s = Spy("L");
  EXPECT_EQ(List()->Value(), "A\rC");
  SetVariable("[Sel]", "b\r\nC");
  EXPECT_EQ(List()->Value(), "B\rC");
  Select("L", "A");
  EXPECT_EQ(Var("Sel"), "A\rB\rC");
  emit List()->ListBox()->itemDoubleClicked(List()->ListBox()->item(0));
  Drain();
  EXPECT_EQ(Var("n"), "x");
  EXPECT_EQ(Var("d"), "y");
  EXPECT_EQ(s.codes, (std::vector<int>{evSelectionChanged, evListDblClick}));
  // A single-selection list by index.
  Select("One", "B");
  EXPECT_EQ(Var("One"), "2");
  SetVariable("[One]", "1");
  EXPECT_EQ(List("One")->Value(), "1");
  SetVariable("[One]", "x");
  EXPECT_EQ(List("One")->Value(), "");
}

}  // namespace

namespace {

// Started in place of another publication, the input objects leave none of
// its values behind; a fresh start keeps what the variables hold.
TEST_F(Lists, AnInPlaceStartClearsTheBoundVariablesOfEmptyFieldsAndLists) {
  const char* kPub =
      "NEWPAGE=One\nObjectType=9\nName=Empty\nVarName=Name\n"
      "ObjectType=9\nName=Filled\nText=Ann\nVarName=Given\n"
      "ObjectType=11\nName=C\nText=Red\xB6Green\nVarName=Color\n";
  for (bool chained : {false, true}) {
    SetVariable("[Name]", "Bob");
    SetVariable("[Color]", "Green");
    startChained = chained;
    const bool ok = Load(kPub);
    startChained = false;
    ASSERT_TRUE(ok);
    EXPECT_EQ(Var("Name"), chained ? "" : "Bob") << chained;
    EXPECT_EQ(Var("Color"), chained ? "" : "Green") << chained;
    EXPECT_EQ(Var("Given"), "Ann") << chained;
    TheObjects().Clear();
    view.reset();
    pub = TPublication();
  }
}

}  // namespace
