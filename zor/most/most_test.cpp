#include <gtest/gtest.h>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/check/findings.h"
#include "zor/interface/file_frame.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/most/fblock.h"
#include "zor/most/fkt_interface.h"
#include "zor/most/most_dispatch.h"
#include "zor/network/network.h"
#include "zor/node/node.h"

namespace ZOR_RAM {
namespace {

using zortest::CaptureLines;
using zortest::MessageCapture;
using zortest::ParseXml;

std::string Catalogue() { return zortest::Golden("zor/most/testdata/catalogue.xml"); }

// A database with one function block read from xml and resolved.
struct Loaded {
  std::unique_ptr<TQXMLDocument> Doc;
  std::unique_ptr<TZOR_RAM> Ram = std::make_unique<TZOR_RAM>();
  TMOSTFBlock* Block = nullptr;
  bool Failed = false;

  explicit Loaded(const std::string& xml) {
    Doc = ParseXml(xml);
    if (!Doc) {
      ADD_FAILURE() << "XML did not parse";
      return;
    }
    Block = Ram->NewItem(Ram->MOSTFBlocks);
    Failed = Block->ReadXml(Doc->GetRoot());
    if (!Failed) Block->ResolveLinks();
  }
  std::string Write() const {
    return CaptureLines([&] { EXPECT_FALSE(Block->WriteXml(/*withElement=*/true)); });
  }
  template <class T>
  T* ById(TZORList<T>& list, const std::string& id) {
    T* item = list.FindById(id);
    EXPECT_NE(item, nullptr) << id;
    return item;
  }
};

using FindingCodes = zortest::FindingLog;

TEST(MostCatalogue, RoundTripsByteForByte) {
  const std::string text = Catalogue();
  Loaded first(text);
  ASSERT_FALSE(first.Failed);
  const std::string written = first.Write();
  EXPECT_EQ(written, text);
  Loaded second(written);
  ASSERT_FALSE(second.Failed);
  EXPECT_EQ(second.Write(), text);

  TZOR_RAM& ram = *first.Ram;
  const std::pair<const TList*, int> counts[] = {
      {&ram.MOSTFBlocks, 1},       {&ram.MOSTFkts, 2},           {&ram.MOSTFktParams, 7},
      {&ram.MOSTParamOPTypes, 2},  {&ram.MOSTFktInterfaces, 7},  {&ram.MOSTFktIfFields, 0},
      {&ram.MOSTFktIf_Enumerations, 1}, {&ram.MOSTFktIf_Numbers, 2}, {&ram.MOSTFktIf_BitFields, 1},
      {&ram.MOSTBitDescs, 1},      {&ram.MOSTFktIf_Strings, 1},  {&ram.MOSTFktIf_Records, 1},
      {&ram.MOSTFktIf_RecordFields, 2}, {&ram.MOSTFktIf_Arrays, 1}, {&ram.MOSTFktIf_Streams, 1},
      {&ram.MOSTFktIf_StreamCases, 2}};
  for (auto [list, count] : counts) EXPECT_EQ(list->Count(), count);
}

TEST(MostCatalogue, FileRoundTrip) {
  std::string header = zortest::Lines({"<?xml version=\"1.0\"?>", "<Measurement_Config_File>", "<ZORInfo>",
                                       "<Version>1.201</Version>", "<Description></Description>", "</ZORInfo>",
                                       "<EncTypes></EncTypes>", "<Signals></Signals>", "<Networks></Networks>",
                                       "<Nodes></Nodes>", "<MOSTFBlocks>"});
  const std::string text = header + Catalogue() + zortest::Lines({"</MOSTFBlocks>", "</Measurement_Config_File>"});
  const std::string in = zortest::TempPath("most_in.xml"), out = zortest::TempPath("most_out.xml");
  zortest::WriteFile(in, text);
  MessageCapture capture;
  auto ram = std::make_unique<TZOR_RAM>();
  ASSERT_FALSE(LoadFile(in, ram.get())) << testing::PrintToString(capture.Errors);
  ASSERT_EQ(ram->MOSTFBlocks.Count(), 1);
  EXPECT_NE(ram->MOSTFktInterfaces.FindById("I_Level")->Fkt, nullptr);
  EXPECT_FALSE(SaveFile(*ram, out));
  EXPECT_EQ(zortest::ReadFile(out), text);
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(MostCatalogue, FieldsOwnersAndReferences) {
  Loaded l(Catalogue());
  ASSERT_FALSE(l.Failed);
  TZOR_RAM& ram = *l.Ram;
  EXPECT_EQ(l.Block->FBlockID, 0x22);
  EXPECT_EQ(l.Block->Name, "Amp & Co\xE4");
  TMOSTFkt* volume = l.ById(ram.MOSTFkts, "F_Volume");
  EXPECT_EQ(volume->FBlock, l.Block);
  EXPECT_EQ(volume->ClassRef, -3);
  TMOSTFktInterface* level = l.ById(ram.MOSTFktInterfaces, "I_Level");
  EXPECT_EQ(level->Fkt, volume);
  EXPECT_TRUE(level->ParamIF);
  EXPECT_EQ(level->Param, l.ById(ram.MOSTFktParams, "P_Level"));
  auto* number = l.ById(ram.MOSTFktIf_Numbers, "N_Level");
  EXPECT_EQ(level->Element, number);
  EXPECT_EQ(number->FktInterface, level);
  EXPECT_EQ(number->Exponent, -1);
  EXPECT_FALSE(number->FullRange);
  auto* streamCase = l.ById(ram.MOSTFktIf_StreamCases, "SC_One");
  EXPECT_EQ(streamCase->PosX, l.ById(ram.MOSTFktParams, "P_Mode"));
  EXPECT_EQ(streamCase->Stream, l.ById(ram.MOSTFktIf_Streams, "ST_Data"));
  EXPECT_EQ(l.ById(ram.MOSTFktParams, "P_Gain")->StreamCase, streamCase);
  EXPECT_EQ(l.ById(ram.MOSTFktIf_Numbers, "N_Key")->RecordField, l.ById(ram.MOSTFktIf_RecordFields, "RF_Key"));
  EXPECT_EQ(l.ById(ram.MOSTFktIf_Records, "R_Row")->Array, l.ById(ram.MOSTFktIf_Arrays, "A_Table"));
  EXPECT_EQ(l.ById(ram.MOSTBitDescs, "BD_Mute")->BitField, l.ById(ram.MOSTFktIf_BitFields, "B_Flags"));
  EXPECT_EQ(volume->GetOPParams(0x0C), 1);
}

TEST(MostCatalogue, PathAndDisplayTexts) {
  Loaded l(Catalogue());
  ASSERT_FALSE(l.Failed);
  TZOR_RAM& ram = *l.Ram;
  const std::string fkt = "Amp & Co\xE4.Volume";
  struct Case {
    TMOSTFktIfField* Item;
    std::string Path;
  } cases[] = {
      {l.ById(ram.MOSTFktIf_Numbers, "N_Level"), fkt + ".Level"},
      {l.ById(ram.MOSTFktIf_Enumerations, "E_Mode"), "Missing Link"},  // not a stream parameter
      {l.ById(ram.MOSTFktIf_Arrays, "A_Table"), fkt + ".Table"},
      {l.ById(ram.MOSTFktIf_Numbers, "N_Key"), fkt + ".Table.Rows.Row.Key"},
      {l.ById(ram.MOSTFktIf_StreamCases, "SC_One"), fkt + ".Data"},
      {l.ById(ram.MOSTFktIf_StreamCases, "SC_Inner"), fkt + ".Data.Mode.7.Gain"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Path);
    EXPECT_EQ(c.Item->GetPathText(), c.Path);
  }
  EXPECT_EQ(l.ById(ram.MOSTFktIf_Numbers, "N_Level")->GetDisplayName(), fkt + ".Level");
  EXPECT_EQ(l.ById(ram.MOSTFktIf_StreamCases, "SC_One")->GetDisplayName(), fkt + ".Data.Mode.7");
  EXPECT_EQ(l.ById(ram.MOSTFktIf_StreamCases, "SC_One")->GetName(), "StreamCase 7 Info");
  EXPECT_EQ(l.ById(ram.MOSTBitDescs, "BD_Mute")->GetName(), "Bit Info 3");
  EXPECT_EQ(l.ById(ram.MOSTFktParams, "P_Level")->GetDisplayName(), fkt + ".Level");
  EXPECT_EQ(l.ById(ram.MOSTFktParams, "P_Gain")->GetDisplayName(), "Gain");

  TMOSTFktIf_StreamCase loose;
  loose.PosY = "4";
  EXPECT_EQ(loose.GetDisplayName(), ".#NULL#.4");

  // ParamIF set but the function reference does not resolve.
  l.ById(ram.MOSTFktInterfaces, "I_Label")->Fkt = nullptr;
  EXPECT_EQ(l.ById(ram.MOSTFktIf_Strings, "S_Label")->GetPathText(), "Missing Link");
}

TEST(MostCatalogue, ReadingAgainReplacesChildrenSafely) {
  const std::string text = Catalogue();
  Loaded l(text);
  ASSERT_FALSE(l.Failed);
  auto doc = ParseXml(text);
  ASSERT_FALSE(l.Block->ReadXml(doc->GetRoot()));
  // The old functions are gone; their parameters stay in the database without owner.
  EXPECT_EQ(l.Ram->MOSTFkts.Count(), 2);
  EXPECT_EQ(l.Ram->MOSTFktParams.Count(), 14);
  int orphans = 0;
  for (TMOSTFktParam* p : l.Ram->MOSTFktParams) orphans += !p->Fkt && !p->StreamCase;
  EXPECT_EQ(orphans, 6);
  for (TMOSTFktParam* p : l.Ram->MOSTFktParams) p->GetDisplayName();
  l.Ram.reset();  // every kind freed, nothing dangling (run under the address sanitizer)
}

TEST(MostCatalogue, WrongTagInContainerFails) {
  struct Case {
    const char* Xml;
    const char* Error;
  } cases[] = {
      {"<MOSTFBlock><FktList><MOSTFktParam/></FktList></MOSTFBlock>", "MOSTFkt expected but MOSTFktParam found."},
      {"<MOSTFBlock><FktList><MOSTFkt><ParamList><X/></ParamList></MOSTFkt></FktList></MOSTFBlock>",
       "MOSTFktParam expected but X found."},
      {"<MOSTFBlock><FktList><MOSTFkt><ParamList><MOSTFktParam><ParamOPTypeList><MOSTFkt/></ParamOPTypeList>"
       "</MOSTFktParam></ParamList></MOSTFkt></FktList></MOSTFBlock>",
       "MOSTParamOPType expected but MOSTFkt found."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Xml);
    MessageCapture capture;
    Loaded l(c.Xml);
    EXPECT_TRUE(l.Failed);
    EXPECT_EQ(capture.Errors, std::vector<std::string>{c.Error});
  }
  // The element containers, through a parameter's interface.
  struct ElementCase {
    const char* Element;
    const char* Error;
  } elementCases[] = {
      {"<MOSTFktIf_BitField><Bits><Bit/></Bits></MOSTFktIf_BitField>", "MOSTBitDesc expected but Bit found."},
      {"<MOSTFktIf_Record><Fields><F/></Fields></MOSTFktIf_Record>", "MOSTFktIf_RecordField expected but F found."},
      {"<MOSTFktIf_Stream><StreamCases><C/></StreamCases></MOSTFktIf_Stream>",
       "MOSTFktIf_StreamCase expected but C found."},
      {"<MOSTFktIf_StreamCase><StreamParams><P/></StreamParams></MOSTFktIf_StreamCase>",
       "MOSTFktParam expected but P found."},
  };
  for (const ElementCase& c : elementCases) {
    SCOPED_TRACE(c.Element);
    MessageCapture capture;
    Loaded l(std::string("<MOSTFBlock><FktList><MOSTFkt><ParamList><MOSTFktParam><FktInterface><MOSTFktInterface>"
                         "<Element>") +
             c.Element + "</Element></MOSTFktInterface></FktInterface></MOSTFktParam></ParamList></MOSTFkt>"
                         "</FktList></MOSTFBlock>");
    EXPECT_TRUE(l.Failed);
    EXPECT_EQ(capture.Errors, std::vector<std::string>{c.Error});
  }
}

TEST(MostCatalogue, BlockWithoutListsGetsEmptyContainers) {
  Loaded l("<MOSTFBlock><ZORId>B</ZORId><Name>X</Name></MOSTFBlock>");
  ASSERT_FALSE(l.Failed);
  EXPECT_EQ(l.Write(), zortest::Lines({"<MOSTFBlock>", "<ZORId>B</ZORId>", "<FBlockID>00</FBlockID>",
                                       "<Name>X</Name>", "<FktList></FktList>", "</MOSTFBlock>"}));
}

TEST(MostDispatch, FindAndCreate) {
  auto doc = ParseXml(
      "<W><MOSTFktIf_Number/><MOSTFktIf_Enumeration/><MOSTFktIfField/><MOSTFktInterface/></W>");
  ASSERT_TRUE(doc);
  TQXMLNode* root = doc->GetRoot();
  EXPECT_EQ(FindInterfaceElement(nullptr), nullptr);
  TQXMLNode* found = FindInterfaceElement(root);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->LocalName, "MOSTFktIf_Enumeration");
  EXPECT_EQ(FindFktInterface(root), root->GetItem(3));
  EXPECT_EQ(FindFktInterface(nullptr), nullptr);

  TZOR_RAM ram;
  EXPECT_EQ(CreateInterfaceElement(nullptr, &ram, nullptr), nullptr);
  EXPECT_EQ(CreateInterfaceElement(nullptr, &ram, root->GetItem(2)), nullptr);  // MOSTFktIfField
  EXPECT_EQ(CreateInterfaceElement(nullptr, nullptr, root->GetItem(0)), nullptr);
  TMOSTFktInterface* fi = ram.NewItem(ram.MOSTFktInterfaces);
  TMOSTFktIf_RecordField* rf = ram.NewItem(ram.MOSTFktIf_RecordFields);
  TMOSTFktIf_Array* array = ram.NewItem(ram.MOSTFktIf_Arrays);
  TMOSTFktIfField* a = CreateInterfaceElement(fi, &ram, root->GetItem(0));
  TMOSTFktIfField* b = CreateInterfaceElement(rf, &ram, root->GetItem(1));
  TMOSTFktIfField* c = CreateInterfaceElement(array, &ram, root->GetItem(0));
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->FktInterface, fi);
  EXPECT_EQ(b->RecordField, rf);
  EXPECT_EQ(c->Array, array);
  EXPECT_EQ(ram.MOSTFktIf_Numbers.Count(), 2);
  EXPECT_EQ(ram.MOSTFktIf_Enumerations.Count(), 1);
  EXPECT_EQ(ram.MOSTFktIfFields.Count(), 0);
  EXPECT_EQ(b->Ram, &ram);

  EXPECT_EQ(CreateFktInterface(nullptr, &ram, root->GetItem(0)), nullptr);
  TMOSTFktParam* param = ram.NewItem(ram.MOSTFktParams);
  TMOSTFktInterface* created = CreateFktInterface(param, &ram, root->GetItem(3));
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->Param, param);
  EXPECT_EQ(ram.MOSTFktInterfaces.Count(), 2);
}

TEST(MostDispatch, PlainFieldIsWrittenButNotReadBack) {
  TZOR_RAM ram;
  TMOSTFktInterface* fi = ram.NewItem(ram.MOSTFktInterfaces);
  fi->Element = ram.NewItem(ram.MOSTFktIfFields);
  std::string text = CaptureLines([&] { fi->WriteXml(true); });
  EXPECT_EQ(text, zortest::Lines({"<MOSTFktInterface>", "<ZORId>MOSTFktInterface0</ZORId>", "<ParamIF>0</ParamIF>",
                                  "<Element>", "<MOSTFktIfField>", "<ZORId>MOSTFktIfField0</ZORId>",
                                  "</MOSTFktIfField>", "</Element>", "</MOSTFktInterface>"}));
  // That element name is not one of the eight kinds, so reading leaves no element.
  auto doc = ParseXml(text);
  ASSERT_TRUE(doc);
  TMOSTFktInterface* back = ram.NewItem(ram.MOSTFktInterfaces);
  EXPECT_FALSE(back->ReadXml(doc->GetRoot()));
  EXPECT_EQ(back->Element, nullptr);
  EXPECT_EQ(ram.MOSTFktIfFields.Count(), 1);
}

TEST(MostInstance, DisplayTextReferenceAndWrite) {
  TZOR_RAM ram;
  TMOSTFBlock* amp = ram.NewItem(ram.MOSTFBlocks);
  amp->Name = "Amp";
  auto doc = ParseXml("<I><ZORId>X</ZORId><InstID>05</InstID><FBlock>MOSTFBlock0</FBlock></I>");
  auto lost = ParseXml("<I><ZORId>Y</ZORId><InstID>05</InstID><FBlock>Nowhere</FBlock></I>");
  TMOSTFBlockInstance* inst = ram.NewItem(ram.MOSTFBlockInstances);
  TMOSTFBlockInstance* orphan = ram.NewItem(ram.MOSTFBlockInstances);
  ASSERT_FALSE(inst->ReadXml(doc->GetRoot()));
  ASSERT_FALSE(orphan->ReadXml(lost->GetRoot()));
  inst->ResolveLinks();
  orphan->ResolveLinks();
  EXPECT_EQ(inst->FBlock, amp);
  EXPECT_EQ(inst->GetDisplayName(), "Amp.05");
  EXPECT_EQ(orphan->FBlock, nullptr);
  EXPECT_EQ(orphan->GetDisplayName(), "");
  EXPECT_EQ(CaptureLines([&] { inst->WriteXml(true); }),
            zortest::Lines({"<MOSTFBlockInstance>", "<ZORId>X</ZORId>", "<InstID>05</InstID>",
                            "<FBlock>MOSTFBlock0</FBlock>", "</MOSTFBlockInstance>"}));
  EXPECT_EQ(CaptureLines([&] { orphan->WriteXml(true); }),
            zortest::Lines({"<MOSTFBlockInstance>", "<ZORId>Y</ZORId>", "<InstID>05</InstID>",
                            "</MOSTFBlockInstance>"}));
}

TEST(MostInstance, NotUniqueOnSameNetwork) {
  struct Case {
    int32_t TypeA, TypeB;
    std::string NameB;
    int Expected;
  } cases[] = {{0, 0, "Bus", 2}, {0, 1, "Bus", 0}, {0, 0, "Other", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Expected);
    TZOR_RAM ram;
    TMOSTFBlock* amp = ram.NewItem(ram.MOSTFBlocks);
    amp->Name = "Amp";
    TNetwork* netA = ram.NewItem(ram.Networks);
    TNetwork* netB = ram.NewItem(ram.Networks);
    netA->Name = "Bus";
    netB->Name = c.NameB;
    netA->Type = c.TypeA;
    netB->Type = c.TypeB;
    TIfc* ifcA = ram.NewItem(ram.Ifcs);
    TIfc* ifcB = ram.NewItem(ram.Ifcs);
    ifcA->Network = netA;
    ifcB->Network = netB;
    for (TIfc* ifc : {ifcA, ifcB}) {
      TMOSTFBlockInstance* inst = ram.NewItem(ram.MOSTFBlockInstances);
      inst->FBlock = amp;
      inst->InstID = 5;
      inst->Ifc = ifc;
    }
    FindingCodes f;
    for (TMOSTFBlockInstance* inst : ram.MOSTFBlockInstances) inst->Check(kCheckUnique);
    EXPECT_EQ(f.Codes, std::vector<int>(c.Expected, kFBlockInstanceNotUnique));
    if (c.Expected) {
      EXPECT_EQ(f.Sinks.Errors[0], "MOST Function Block Instance \"Amp.05\" is not unique in network: \"Bus\"");
    }
  }
}

TEST(MostInstance, NameUseComparesTheCachedDisplayTexts) {
  TZOR_RAM ram;
  TNetwork* net = ram.NewItem(ram.Networks);
  net->Name = "Bus";
  TIfc* ifc = ram.NewItem(ram.Ifcs);
  ifc->Network = net;
  for (int i = 0; i < 2; ++i) {
    TMOSTFBlock* block = ram.NewItem(ram.MOSTFBlocks);
    block->Name = "Amp";
    TMOSTFBlockInstance* inst = ram.NewItem(ram.MOSTFBlockInstances);
    inst->FBlock = block;
    inst->InstID = 5;
    inst->Ifc = ifc;
  }
  for (const char* secondName : {"Amp", "Tuner"}) {
    SCOPED_TRACE(secondName);
    ram.MOSTFBlocks[1]->Name = secondName;  // the display texts stay as cached
    FindingCodes f;
    for (TMOSTFBlockInstance* inst : ram.MOSTFBlockInstances) inst->Check(kCheckUnique);
    EXPECT_EQ(f.Codes, std::vector<int>(2, kFBlockInstanceNotUnique));
  }
}

TEST(MostFkt, NameUseNeedsOnlyTheBlock) {
  TMOSTFBlock block;
  TMOSTFkt a, b;
  a.Name = b.Name = "Volume";
  a.FBlock = b.FBlock = &block;
  block.Fkts.Add(&a);
  block.Fkts.Add(&b);
  EXPECT_TRUE(a.IsNameUsed("Volume"));
  EXPECT_FALSE(a.IsNameUsed("Bass"));
  block.Fkts.Clear();
  a.FBlock = b.FBlock = nullptr;
}

// Runs Check(flags) and returns the finding codes.
std::vector<int> Codes(TItemData* item, uint64_t flags = kCheckAll) {
  FindingCodes f;
  item->Check(flags);
  return f.Codes;
}

TEST(MostFktCheck, CodeByCode) {
  using V = std::vector<int>;
  TZOR_RAM ram;
  TMOSTFBlock* block = ram.NewItem(ram.MOSTFBlocks);
  block->Name = "Amp";
  auto makeFkt = [&](const std::string& name) {
    TMOSTFkt* fkt = ram.NewItem(ram.MOSTFkts);
    fkt->Name = name;
    fkt->FBlock = block;
    block->Fkts.Add(fkt);
    return fkt;
  };
  auto addParam = [&](TMOSTFkt* fkt, const std::string& name, int typeValue, int opType = -1) {
    TMOSTFktParam* p = ram.NewItem(ram.MOSTFktParams);
    p->Name = name;
    p->TypeValue = typeValue;
    p->Fkt = fkt;
    fkt->Params.Add(p);
    if (opType >= 0) {
      TMOSTParamOPType* op = ram.NewItem(ram.MOSTParamOPTypes);
      op->OPType = static_cast<uint8_t>(opType);
      op->Param = p;
      p->OPTypes.Add(op);
    }
    return p;
  };

  TMOSTFkt* fkt = makeFkt("Volume");
  fkt->FktID = 4095;
  EXPECT_EQ(Codes(fkt), V{});
  fkt->FktID = 4096;
  EXPECT_EQ(Codes(fkt), V{kFunctionIdInvalid});
  fkt->FktID = 1;

  TMOSTFkt* typed = makeFkt("Typed");
  typed->FktID = 2;
  addParam(typed, "Data", 11);
  TMOSTFktParam* tag = addParam(typed, "Tag", 0);
  EXPECT_EQ(Codes(typed), V{kFunctionPosMissing});
  TMOSTFktParam* posY = addParam(typed, "PosY", 0);
  EXPECT_EQ(Codes(typed), V{});
  posY->Name = "Other";
  tag->Name = "Pos";
  EXPECT_EQ(Codes(typed), V{});

  TMOSTFkt* ops = makeFkt("Ops");
  ops->FktID = 3;
  addParam(ops, "A", 0, 0x0B);
  EXPECT_EQ(Codes(ops), V{kFunctionOpTypeInvalid});
  ops->Type = 1;
  EXPECT_EQ(Codes(ops), V{});
  addParam(ops, "B", 0, 3);
  EXPECT_EQ(Codes(ops), V{kFunctionOpTypeInvalid});
  ops->Type = 2;
  EXPECT_EQ(Codes(ops), V{kTypeInvalid});

  // Duplicate function identifiers and names within the block.
  TMOSTFkt* twin = makeFkt("Volume");
  twin->FktID = 1;
  EXPECT_EQ(Codes(fkt), V{kIdNotUnique});
  {
    FindingCodes f;
    fkt->Check(kCheckUnique);
    EXPECT_EQ(f.Codes, V{kNameNotUnique});
    EXPECT_EQ(f.Sinks.Errors[0], "\"Volume\" MOST Function Name is not unique in MOST Function Block Amp.");
  }

  TMOSTFkt* loose = ram.NewItem(ram.MOSTFkts);
  loose->FktID = 9999;  // no block: the identifier tests need one
  EXPECT_EQ(Codes(loose), V{kFunctionNoFBlock});
  TMOSTFktParam* lost = ram.NewItem(ram.MOSTFktParams);
  EXPECT_EQ(Codes(lost), V{kParameterNoFunction});
  TMOSTFktParam unattached;
  unattached.StreamCase = ram.NewItem(ram.MOSTFktIf_StreamCases);
  EXPECT_EQ(Codes(&unattached), V{kNoRam});
}

// The identifier tests answer the same from a check run's index as from a scan,
// with duplicates, an item listed twice, a null entry and an item that names
// its owner without being listed.
TEST(MostIdCheck, RunIndexAnswersAsTheScan) {
  TZOR_RAM ram;
  zortest::Builder make{ram};
  TMOSTFBlock* block = make.FBlock("Amp", 1);
  std::vector<TItemData*> asked;
  for (int i = 0; i < 20; ++i) {
    asked.push_back(make.Fkt(block, "F" + std::to_string(i), static_cast<uint16_t>(i)));
    asked.push_back(make.FBlock("B" + std::to_string(i), static_cast<uint8_t>(i + 1)));
  }
  asked.push_back(make.Fkt(block, "Twin", 3));
  block->Fkts.Add(block->Fkts[5]);
  block->Fkts.Add(nullptr);
  TMOSTFkt* stray = make.Fkt(nullptr, "Stray", 7);
  stray->FBlock = block;
  asked.push_back(stray);
  ram.MOSTFBlocks.Add(ram.MOSTFBlocks[4]);
  ram.MOSTFBlocks.Add(nullptr);
  TMOSTFBlock loose;  // in no list
  loose.Ram = &ram;
  loose.FBlockID = 9;
  asked.push_back(&loose);

  std::vector<int> counts[2];
  for (bool inRun : {false, true}) {
    if (inRun) ram.BeginCheckRun();
    for (TItemData* item : asked) {
      FindingCodes f;
      item->Check(kCheckAll);
      counts[inRun].push_back(f.Count(kIdNotUnique));
    }
    ram.EndCheckRun();
  }
  EXPECT_EQ(counts[1], counts[0]);
  // F3 meets Twin, F5 and B3 are listed twice, Amp and B0 share identifier 1;
  // Stray meets F7 and the loose block B8, which see neither.
  const std::vector<int> expected = {0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<int>(counts[0].begin(), counts[0].begin() + 20), expected);
  EXPECT_EQ(std::vector<int>(counts[0].end() - 3, counts[0].end()), (std::vector<int>{1, 1, 1}));
}

TEST(MostInstance, RunIndexAnswersAsTheWalk) {
  TZOR_RAM ram;
  zortest::Builder make{ram};
  TMOSTFBlock* amp = make.FBlock("Amp");
  auto on = [&](const std::string& network, int32_t type) {
    return make.Instance(make.Ifc(nullptr, "I", kIfcCAN, make.Network(network, type)), amp, 5);
  };
  TMOSTFBlockInstance* a = on("Bus", kNetTypeCAN);
  TMOSTFBlockInstance* b = on("Bus", kNetTypeJ1939);
  for (int i = 0; i < 16; ++i) on("Net" + std::to_string(i), kNetTypeCAN);
  TMOSTFBlockInstance* f = on("Pair", kNetTypeCAN);
  TMOSTFBlockInstance* g = on("Pair", kNetTypeCAN);
  TMOSTFBlockInstance* e = on("Solo", kNetTypeCAN);
  ram.MOSTFBlockInstances.Add(e);
  ram.MOSTFBlockInstances.Add(nullptr);
  TMOSTFBlockInstance* d = make.Instance(nullptr, amp, 5);  // on no network: the walk stops there
  TMOSTFBlockInstance* c = on("Bus", kNetTypeCAN);
  TMOSTFBlockInstance stray;  // in no list
  stray.Ram = &ram;
  stray.Ifc = b->Ifc;
  stray.FBlock = amp;
  stray.InstID = 5;

  struct Case {
    const char* What;
    TMOSTFBlockInstance* Instance;
    std::string Text;
    bool Used;
  } cases[] = {{"same name, other type; match after the detached one", a, "Amp.05", false},
               {"other type only", b, "Amp.05", false},
               {"pair before the detached one", f, "Amp.05", true},
               {"pair, second", g, "Amp.05", true},
               {"listed twice", e, "Amp.05", false},
               {"detached", d, "Amp.05", false},
               {"first match before the detached one", c, "Amp.05", true},
               {"not listed", &stray, "Amp.05", true},
               {"other text", a, "Amp.06", false}};
  for (bool inRun : {false, true}) {
    if (inRun) ram.BeginCheckRun();
    for (const Case& k : cases) {
      SCOPED_TRACE(std::string(k.What) + (inRun ? " (in a run)" : ""));
      EXPECT_EQ(k.Instance->IsNameUsed(k.Text), k.Used);
    }
    ram.EndCheckRun();
  }
}

TEST(MostFBlockCheck, NameAndIdentifier) {
  using V = std::vector<int>;
  TZOR_RAM ram;
  TMOSTFBlock* a = ram.NewItem(ram.MOSTFBlocks);
  TMOSTFBlock* b = ram.NewItem(ram.MOSTFBlocks);
  TMOSTFBlock* c = ram.NewItem(ram.MOSTFBlocks);
  a->Name = "A";
  b->Name = "A";
  c->Name = "C";
  a->FBlockID = b->FBlockID = c->FBlockID = 7;
  EXPECT_EQ(Codes(a, kCheckUnique), V{kNameNotUnique});
  EXPECT_EQ(Codes(c, kCheckUnique), V{});
  EXPECT_EQ(Codes(a), (V{kIdNotUnique, kIdNotUnique}));
  c->FBlockID = 8;
  EXPECT_EQ(Codes(c), V{});
}

TEST(MostElementCheck, CodeByCode) {
  using V = std::vector<int>;
  TZOR_RAM ram;
  TMOSTFktParam* param = ram.NewItem(ram.MOSTFktParams);
  TMOSTFktInterface* fi = ram.NewItem(ram.MOSTFktInterfaces);
  fi->Param = param;

  TMOSTFktIf_Number* number = ram.NewItem(ram.MOSTFktIf_Numbers);
  EXPECT_EQ(Codes(number), V{});
  number->FullRange = false;
  number->RangeMin = number->RangeMax = 5;
  EXPECT_EQ(Codes(number), V{kNumberRangeWrong});
  number->FktInterface = fi;
  param->TypeValue = 4;
  number->RangeMin = -1;
  number->RangeMax = -2;
  EXPECT_EQ(Codes(number), (V{kNumberRangeWrong, kNumberRangeWrong}));
  param->TypeValue = 3;
  EXPECT_EQ(Codes(number), V{kNumberRangeWrong});

  TMOSTFktIf_Enumeration* enumeration = ram.NewItem(ram.MOSTFktIf_Enumerations);
  EXPECT_EQ(Codes(enumeration), V{kEnumerationEmpty});
  TMOSTFktIf_String* text = ram.NewItem(ram.MOSTFktIf_Strings);
  EXPECT_EQ(Codes(text), V{kStringMaxLengthWrong});
  TMOSTFktIf_BitField* bits = ram.NewItem(ram.MOSTFktIf_BitFields);
  EXPECT_EQ(Codes(bits), V{kBitFieldEmpty});
  TMOSTFktIf_Array* array = ram.NewItem(ram.MOSTFktIf_Arrays);
  array->ElementTypeValue = 13;
  EXPECT_EQ(Codes(array), (V{kArrayNoElement, kArrayOfArrays}));
  EXPECT_EQ(Codes(array, kCheckUnique), V{});

  struct RecordCase {
    std::vector<std::pair<int, int>> Fields;  // FieldIdx, FieldTypeValue
    V Expected;
  } records[] = {
      {{{1, 0}, {2, 0}, {3, 0}}, {}},
      {{{1, 0}, {1, 0}, {4, 0}}, {}},
      {{{0, 0}, {1, 0}, {2, 0}}, {kRecordFieldIndexesWrong}},
      {{{1, 0}}, {kRecordTooFewFields}},
      {{{1, 10}, {2, 11}, {3, 13}}, {kRecordFieldIsRecord, kRecordManyArrays}},
  };
  for (const RecordCase& r : records) {
    SCOPED_TRACE(testing::PrintToString(r.Fields));
    TMOSTFktIf_Record* record = ram.NewItem(ram.MOSTFktIf_Records);
    for (auto [idx, type] : r.Fields) {
      TMOSTFktIf_RecordField* field = ram.NewItem(ram.MOSTFktIf_RecordFields);
      field->FieldIdx = idx;
      field->FieldTypeValue = type;
      record->Fields.Add(field);
    }
    EXPECT_EQ(Codes(record), r.Expected);
  }

  TMOSTFktParam* posX = ram.NewItem(ram.MOSTFktParams);
  struct CaseCase {
    int TypeValue;
    const char* PosY;
    V Expected;
  } cases[] = {
      {2, "300", {kStreamCasePosYRange}},
      {2, "255", {}},
      {2, "x", {kStreamCasePosTypeMismatch}},
      {2, "", {kStreamCaseNoPosY}},
      {5, "65535", {}},
      {5, "65536", {kStreamCasePosYRange}},
      {7, "99999999", {}},
      {7, "1.5", {kStreamCasePosTypeMismatch}},
      {9, "x", {}},
  };
  for (const CaseCase& c : cases) {
    SCOPED_TRACE(c.PosY);
    TMOSTFktIf_StreamCase* sc = ram.NewItem(ram.MOSTFktIf_StreamCases);
    sc->StreamParams.Add(param);
    sc->PosX = posX;
    posX->TypeValue = c.TypeValue;
    sc->PosY = c.PosY;
    EXPECT_EQ(Codes(sc), c.Expected);
  }
  TMOSTFktIf_StreamCase* empty = ram.NewItem(ram.MOSTFktIf_StreamCases);
  {
    FindingCodes f;
    EXPECT_FALSE(empty->Check(kCheckAll));  // a warning only
    EXPECT_EQ(f.Codes, V{kStreamCaseEmpty});
  }
}

}  // namespace
}  // namespace ZOR_RAM
