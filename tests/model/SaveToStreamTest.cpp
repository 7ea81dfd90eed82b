#include <gtest/gtest.h>

#include "TestClasses.h"

namespace qv::test {
namespace {

using Lines = std::vector<std::string>;

class SaveToStream : public ::testing::Test {
 protected:
  TestPage page;
};

TEST_F(SaveToStream, ValueLineThenItsAnimationLines) {
  TMinMaxInteger opacity;
  page.Join(opacity);
  opacity.Name = "Opacity";
  opacity.SetMinMax(0, 255);
  Tkeys* k = opacity.Animation(true);
  k->AddKey(0.0, 0.0);
  k->AddKey(25.0, 255.0);
  TMemoryLineWriter w;
  opacity.SaveToStream("\t\t", w);
  EXPECT_EQ(w.Lines, (Lines{"\t\tOpacity = 0", "\t\tAnim0 Constant 0 0.0000 25 255.0000 "}));
}

TEST_F(SaveToStream, OnlyTracksWithTwoDifferentValuesAreWrittenInSlotOrder) {
  TDouble d;
  page.Join(d);
  d.Name = "Speed";
  d.SetValue(-1.5);
  Tkeys* s5 = d.Animation(true, 5);
  s5->AddKey(3.0, -1.23456);
  s5->AddKey(12.5, 7.0);  // frames are written as whole numbers, halves to even
  s5->Foutat = atPingPong;
  s5->finat = atLoop;  // not written
  Tkeys* s0 = d.Animation(true, 0);
  s0->AddKey(0.0, 1.0);
  s0->AddKey(10.0, 2.0);
  s0->Foutat = atRelativeRepeat;
  d.Animation(true, 1)->AddKey(0.0, 4.0);  // a single key
  Tkeys* flat = d.Animation(true, 2);       // equal values
  flat->AddKey(0.0, 4.0);
  flat->AddKey(9.0, 4.0);
  d.Animation(true, 3);  // empty
  TMemoryLineWriter w;
  d.SaveToStream("\t", w);
  EXPECT_EQ(w.Lines, (Lines{"\tSpeed = -1.50000000", "\tAnim0 RelRepeat 0 1.0000 10 2.0000 ",
                            "\tAnim5 PingPong 3 -1.2346 12 7.0000 "}));
}

TEST_F(SaveToStream, EveryValueClassWritesItsForm) {
  TString s;
  page.Join(s);
  s.Name = "layerName";
  s.SetValue("img 000 = x");
  TBoolean b;
  page.Join(b);
  b.Name = "Visible";
  b.SetValue(true);
  TEnum<TShowTime> e;
  page.Join(e);
  e.Name = "ShowTime";
  e.SetValue(stBeforeEnd);
  TTimeCode t;
  page.Join(t);
  t.Name = "Duration";
  t.SetValue(10.0);
  TMemoryLineWriter w;
  for (TBaseProperty* p : std::initializer_list<TBaseProperty*>{&s, &b, &e, &t}) p->SaveToStream("", w);
  EXPECT_EQ(w.Lines, (Lines{"layerName = img 000 = x", "Visible = True", "ShowTime = 2", "Duration = 10.00000000"}));
}

TEST_F(SaveToStream, StringTracksAreNeverWritten) {
  TString s;
  page.Join(s);
  s.Name = "Text";
  s.Animation(true)->AddKey(0.0, std::string("A"));
  s.Animation(true)->AddKey(10.0, std::string("B"));
  TMemoryLineWriter w;
  s.SaveToStream("", w);
  EXPECT_EQ(w.Lines, (Lines{"Text = "}));
}

TEST_F(SaveToStream, ContainerBlockWithNestedBlocksAndAnimation) {
  auto group = Make<TGroup>();
  page.Join(*group);
  group->Name = "Font";
  group->Size()->SetValue(12.5);
  Tkeys* k = group->Size()->Animation(true);
  k->AddKey(0.0, 10.0);
  k->AddKey(50.0, 400.0);
  k->Foutat = atLoop;
  group->Color()->SetWinColor(0x0000FF00);
  TMemoryLineWriter w;
  group->SaveToStream("\t", w);
  EXPECT_EQ(w.Lines, (Lines{
                         "\tObject 'Font':TGroup",
                         "\t\tSize = 12.50000000",
                         "\t\tAnim0 Loop 0 10.0000 50 400.0000 ",
                         "\t\tObject 'Color':TColor4",
                         "\t\t\tRed = 0.00000000",
                         "\t\t\tGreen = 1.00000000",
                         "\t\t\tBlue = 0.00000000",
                         "\t\t\tAlpha = 1.00000000",
                         "\t\tEnd",
                         "\tEnd",
                     }));
}

TEST_F(SaveToStream, LayerBlockInChildOrderWithAnEmptyName) {
  auto layer = Make<TBaseLayer>();
  page.Join(*layer);
  layer->LayerName()->SetValue("img000");
  layer->Opacity()->SetValue(0);
  layer->Opacity()->Animation(true)->AddKey(0.0, 0.0);
  layer->Opacity()->Animation(true)->AddKey(25.0, 255.0);
  layer->X()->Animation(true)->AddKey(0.0, 0.0);
  layer->X()->Animation(true)->AddKey(50.0, 400.0);
  TMemoryLineWriter w;
  layer->SaveToStream("\t", w);
  EXPECT_EQ(w.Lines, (Lines{
                         "\tObject '':TBaseLayer",
                         "\t\tlayerName = img000",
                         "\t\tVisible = True",
                         "\t\tOpacity = 0",
                         "\t\tAnim0 Constant 0 0.0000 25 255.0000 ",
                         "\t\tX = 0",
                         "\t\tAnim0 Constant 0 0.0000 50 400.0000 ",
                         "\tEnd",
                     }));
}

TEST_F(SaveToStream, VetoedAndUnnamedChildrenAreSkipped) {
  auto veto = Make<TVetoGroup>();
  page.Join(*veto);
  veto->Name = "Shadow";
  veto->Color()->Name = "";  // an unnamed child
  TMemoryLineWriter w;
  veto->SaveToStream("", w);
  EXPECT_EQ(w.Lines, (Lines{"Object 'Shadow':TVetoGroup", "End"}));
}

}  // namespace
}  // namespace qv::test
