// Reads a DBC file in two passes: the parser collects every statement of the
// file into plain records (so that attributes, comments and value
// descriptions that follow the frames are known before the frames are
// built), then the builder adds the network and its items to the database.
// Both passes are linear: objects are found through maps by name and
// identifier.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zor/env/env.h"
#include "zor/interop/dbc.h"
#include "zor/interop/text_scanner.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/network/signal_group.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM::interop {

namespace dbc {

bool IsReservedAttribute(std::string_view name) {
  static constexpr const char* kNames[] = {kNetworkComment, kNodeComment, kFrameComment, kSignalComment,
                                           kEnvVarComment,  kTransmitters, kByteOrder,   kValueType,
                                           kMultiplexRole,  kValueTable,   kStatement,   kEnvVarId};
  for (const char* n : kNames)
    if (name == n) return true;
  return false;
}

std::string FormatReal(double value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string FormatFloat(float value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string Quote(std::string_view text) {
  std::string s = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') s += '\\';
    s += c;
  }
  return s + '"';
}

int32_t OffsetFromStartBit(int32_t startBit, bool intel) {
  return intel ? startBit : (startBit / 8) * 8 + 7 - startBit % 8;
}

int32_t StartBitFromOffset(int32_t offset, bool intel) {
  // The Motorola numbering is its own inverse.
  return OffsetFromStartBit(offset, intel);
}

}  // namespace dbc

namespace {

using namespace dbc;

constexpr std::string_view kKeywords[] = {
    "VERSION", "NS_", "BS_", "BU_", "VAL_TABLE_", "BO_", "SG_", "BO_TX_BU_", "EV_", "ENVVAR_DATA_", "CM_",
    "BA_DEF_", "BA_DEF_DEF_", "BA_", "BA_DEF_REL_", "BA_DEF_DEF_REL_", "BA_REL_", "VAL_", "SIG_GROUP_",
    "SIG_VALTYPE_", "SG_MUL_VAL_", "CAT_DEF_", "CAT_", "FILTER", "SGTYPE_", "SGTYPE_VAL_", "BA_DEF_SGTYPE_",
    "BA_SGTYPE_", "SIG_TYPE_REF_", "SIGTYPE_VALTYPE_", "EV_DATA_", "NS_DESC_", "BU_SG_REL_", "BU_EV_REL_",
    "BU_BO_REL_"};

bool IsKeyword(std::string_view word) {
  for (std::string_view k : kKeywords)
    if (word == k) return true;
  return false;
}

enum class ObjKind { Network, Node, Frame, Signal, EnvVar };

struct ValueDesc {
  int64_t Value;
  std::string Text;
};

struct SignalRec {
  SourcePos Pos;
  std::string Name;
  std::string Role;  // "", "M", "mN", "mNM"
  int32_t Multiplexed = kMuxPlainSignal;
  int64_t MuxValue = 0;
  int32_t StartBit = 0, Length = 0;
  bool Intel = true, Signed = false;
  double Factor = 1, Offset = 0, Min = 0, Max = 0;
  std::string Unit;
  std::vector<std::string> Receivers;
};

struct FrameRec {
  SourcePos Pos;
  uint32_t Id = 0;
  std::string Name;
  int32_t Size = 0;
  std::string Sender;
  std::vector<SignalRec> Signals;
};

struct EnvRec {
  SourcePos Pos;
  std::string Name;
  int Type = 0;
  double Min = 0, Max = 0, Init = 0;
  std::string Unit;
  int64_t Id = 0;
  int Access = 0;
  bool DataFlag = false;
  std::vector<std::string> Nodes;
};

// The object an attribute value, comment or value description names.
struct ObjRef {
  ObjKind Kind = ObjKind::Network;
  std::string Name;  // node, signal or variable name
  uint32_t Id = 0;   // frame identifier
};

struct TypedValue {
  bool IsString = false;
  std::string Text;
  double Number = 0;
  SourcePos Pos;
};

struct AttrDefRec {
  SourcePos Pos;
  ObjKind Kind = ObjKind::Network;
  std::string Name;
  int32_t Type = kAttrInt;
  double Min = 0, Max = 0;
  std::vector<std::string> EnumValues;
};

struct AttrValueRec {
  SourcePos Pos;
  std::string Name;
  ObjRef Obj;
  TypedValue Value;
};

struct CommentRec {
  SourcePos Pos;
  ObjRef Obj;
  std::string Text;
};

struct ValRec {
  SourcePos Pos;
  ObjRef Obj;  // Signal or EnvVar
  std::vector<ValueDesc> Values;
  bool Used = false;
};

struct NamedList {
  SourcePos Pos;
  uint32_t Id = 0;
  std::string Name;
  int64_t Number = 0;
  std::vector<std::string> Names;
};

struct RawRec {
  SourcePos Pos;
  std::string Text;
};

// --- Parsing -----------------------------------------------------------------

class Parser {
 public:
  Parser(const std::string& fileName, std::string_view text, DiagnosticLog& log)
      : Sc_(fileName, text, ScannerOptions{false}), Log_(log), File_(fileName) {}

  void Run();

  bool HaveVersion = false;
  std::string Version;
  std::vector<std::string> Symbols;
  std::vector<std::pair<std::string, SourcePos>> Nodes;
  std::vector<RawRec> ValueTables;  // "name v "t" ..." as the attribute keeps it
  std::vector<FrameRec> Frames;
  std::vector<NamedList> TxLists;
  std::vector<EnvRec> Envs;
  std::vector<NamedList> EnvData;
  std::vector<CommentRec> Comments;
  std::vector<AttrDefRec> Defs;
  std::vector<std::pair<std::string, TypedValue>> Defaults;
  std::vector<AttrValueRec> Values;
  std::vector<RawRec> Statements;  // relation attributes and SG_MUL_VAL_, as written
  std::vector<ValRec> Vals;
  std::vector<NamedList> Groups;
  std::vector<NamedList> ValueTypes;  // Id, Name: signal; Number: 1 or 2
  std::map<std::string, std::pair<SourcePos, int>> Skipped;

 private:
  const Token& Peek() { return Sc_.Peek(); }
  bool AtLineStartKeyword() {
    const Token& t = Peek();
    return t.Kind == TokenKind::End || (t.Kind == TokenKind::Identifier && t.FirstOnLine && IsKeyword(t.Text));
  }
  std::string Name(std::string_view what = "a name") { return std::string(Sc_.ExpectIdentifier(what).Text); }
  std::string String() { return TextScanner::StringValue(Sc_.ExpectString()); }
  uint32_t FrameId() { return static_cast<uint32_t>(Sc_.ExpectInteger("a frame identifier", 0, UINT32_MAX)); }
  TypedValue Value();
  ObjKind ObjectKind();
  ObjRef Object(ObjKind kind);
  void EndStatement() { Sc_.Expect(';'); }
  void SkipStatement();
  std::string RawUntilSemicolon(const Token& first);

  void ReadNs();
  void ReadBs(const Token& kw);
  void ReadBu();
  void ReadValueTable();
  void ReadFrame(const Token& kw);
  SignalRec ReadSignal(const Token& kw);
  void ReadTxList(const Token& kw);
  void ReadEnv(const Token& kw);
  void ReadEnvData(const Token& kw);
  void ReadComment(const Token& kw);
  void ReadAttrDef(const Token& kw);
  void ReadAttrDefault();
  void ReadAttrValue(const Token& kw);
  void ReadVal(const Token& kw);
  void ReadSigGroup(const Token& kw);
  void ReadValType(const Token& kw);

  TextScanner Sc_;
  DiagnosticLog& Log_;
  const std::string& File_;
};

void Parser::Run() {
  while (!Sc_.AtEnd()) {
    const Token& t = Peek();
    if (t.Kind != TokenKind::Identifier) Sc_.Fail(t, "a DBC keyword");
    Token kw = Sc_.Next();
    std::string_view k = kw.Text;
    if (k == "VERSION") {
      HaveVersion = true;
      Version = String();
    } else if (k == "NS_") {
      ReadNs();
    } else if (k == "BS_") {
      ReadBs(kw);
    } else if (k == "BU_") {
      ReadBu();
    } else if (k == "VAL_TABLE_") {
      ReadValueTable();
    } else if (k == "BO_") {
      ReadFrame(kw);
    } else if (k == "BO_TX_BU_") {
      ReadTxList(kw);
    } else if (k == "EV_") {
      ReadEnv(kw);
    } else if (k == "ENVVAR_DATA_") {
      ReadEnvData(kw);
    } else if (k == "CM_") {
      ReadComment(kw);
    } else if (k == "BA_DEF_") {
      ReadAttrDef(kw);
    } else if (k == "BA_DEF_DEF_") {
      ReadAttrDefault();
    } else if (k == "BA_") {
      ReadAttrValue(kw);
    } else if (k == "BA_DEF_REL_" || k == "BA_DEF_DEF_REL_" || k == "BA_REL_" || k == "SG_MUL_VAL_") {
      Statements.push_back({kw.Pos, RawUntilSemicolon(kw)});
    } else if (k == "VAL_") {
      ReadVal(kw);
    } else if (k == "SIG_GROUP_") {
      ReadSigGroup(kw);
    } else if (k == "SIG_VALTYPE_") {
      ReadValType(kw);
    } else {
      if (!IsKeyword(k)) Sc_.Fail(kw, "a DBC keyword");
      auto [it, added] = Skipped.try_emplace(std::string(k), kw.Pos, 0);
      ++it->second.second;
      SkipStatement();
    }
  }
}

void Parser::SkipStatement() {
  while (!AtLineStartKeyword()) {
    if (Sc_.Next().Is(';')) return;
  }
}

std::string Parser::RawUntilSemicolon(const Token& first) {
  const char* begin = first.Text.data();
  Token t;
  do {
    t = Sc_.Next();
    if (t.Kind == TokenKind::End) Sc_.Fail(t, "';'");
  } while (!t.Is(';'));
  return std::string(begin, t.Text.data() + 1);
}

TypedValue Parser::Value() {
  TypedValue v;
  v.Pos = Peek().Pos;
  if (Peek().Kind == TokenKind::String) {
    v.IsString = true;
    v.Text = String();
  } else {
    v.Number = Sc_.ExpectNumber("a value");
    v.Text = FormatReal(v.Number);
  }
  return v;
}

ObjKind Parser::ObjectKind() {
  if (Sc_.AcceptWord("BU_")) return ObjKind::Node;
  if (Sc_.AcceptWord("BO_")) return ObjKind::Frame;
  if (Sc_.AcceptWord("SG_")) return ObjKind::Signal;
  if (Sc_.AcceptWord("EV_")) return ObjKind::EnvVar;
  return ObjKind::Network;
}

ObjRef Parser::Object(ObjKind kind) {
  ObjRef o;
  o.Kind = kind;
  switch (kind) {
    case ObjKind::Network: break;
    case ObjKind::Node: o.Name = Name("a node name"); break;
    case ObjKind::Frame: o.Id = FrameId(); break;
    case ObjKind::Signal:
      o.Id = FrameId();
      o.Name = Name("a signal name");
      break;
    case ObjKind::EnvVar: o.Name = Name("an environment variable name"); break;
  }
  return o;
}

void Parser::ReadNs() {
  Sc_.Expect(':');
  bool indented = false;
  while (Peek().Kind == TokenKind::Identifier) {
    const Token& t = Peek();
    if (t.Text == "BS_" || t.Text == "BU_" || t.Text == "BO_") break;
    if (t.FirstOnLine && t.Pos.Column == 1 && indented) break;
    if (Symbols.empty()) indented = t.Pos.Column > 1;
    Symbols.emplace_back(Sc_.Next().Text);
  }
}

void Parser::ReadBs(const Token& kw) {
  Sc_.Expect(':');
  bool content = false;
  while (!Peek().FirstOnLine && Peek().Kind != TokenKind::End) {
    Sc_.Next();
    content = true;
  }
  if (content) Log_.Warn(File_, kw.Pos, "BS_: the bit timing is not kept; dropped");
}

void Parser::ReadBu() {
  Sc_.Expect(':');
  while (!AtLineStartKeyword()) {
    if (Sc_.Accept(',')) continue;
    Token t = Sc_.ExpectIdentifier("a node name");
    Nodes.emplace_back(std::string(t.Text), t.Pos);
  }
}

void Parser::ReadValueTable() {
  std::string text = Name("a value table name");
  SourcePos pos = Peek().Pos;
  while (!Sc_.Accept(';')) {
    int64_t v = Sc_.ExpectInteger("a value");
    text += ' ' + std::to_string(v) + ' ' + Quote(String());
  }
  ValueTables.push_back({pos, std::move(text)});
}

void Parser::ReadFrame(const Token& kw) {
  FrameRec f;
  f.Pos = kw.Pos;
  f.Id = FrameId();
  f.Name = Name("a frame name");
  Sc_.Expect(':');
  f.Size = static_cast<int32_t>(Sc_.ExpectInteger("a frame size", 0, 64));
  f.Sender = Name("a node name");
  while (Peek().IsWord("SG_")) f.Signals.push_back(ReadSignal(Sc_.Next()));
  Frames.push_back(std::move(f));
}

SignalRec Parser::ReadSignal(const Token& kw) {
  SignalRec s;
  s.Pos = kw.Pos;
  s.Name = Name("a signal name");
  if (Peek().Kind == TokenKind::Identifier) {
    Token role = Sc_.Next();
    std::string_view r = role.Text;
    s.Role = std::string(r);
    if (r == "M") {
      s.Multiplexed = kMuxMultiplexor;
    } else {
      size_t end = r.size() > 1 && r.back() == 'M' ? r.size() - 1 : r.size();
      int64_t value = 0;
      auto res = std::from_chars(r.data() + 1, r.data() + end, value);
      if (r.size() < 2 || r[0] != 'm' || res.ec != std::errc() || res.ptr != r.data() + end)
        Sc_.Fail(role, "a multiplexer indicator (M, mN or mNM)");
      s.Multiplexed = kMuxMultiplexed;
      s.MuxValue = value;
    }
  }
  Sc_.Expect(':');
  s.StartBit = static_cast<int32_t>(Sc_.ExpectInteger("a start bit", 0, 511));
  Sc_.Expect('|');
  s.Length = static_cast<int32_t>(Sc_.ExpectInteger("a signal length", 1, 64));
  Sc_.Expect('@');
  const Token& order = Peek();
  if (order.Kind != TokenKind::Number || (order.Text != "0" && order.Text != "1"))
    Sc_.Fail(order, "a byte order (0 or 1)");
  s.Intel = Sc_.Next().Text == "1";
  if (Sc_.Accept('-')) {
    s.Signed = true;
  } else if (!Sc_.Accept('+')) {
    Sc_.Fail(Peek(), "a value type (+ or -)");
  }
  Sc_.Expect('(');
  s.Factor = Sc_.ExpectNumber("a factor");
  Sc_.Expect(',');
  s.Offset = Sc_.ExpectNumber("an offset");
  Sc_.Expect(')');
  Sc_.Expect('[');
  s.Min = Sc_.ExpectNumber("a minimum");
  Sc_.Expect('|');
  s.Max = Sc_.ExpectNumber("a maximum");
  Sc_.Expect(']');
  s.Unit = String();
  // Receivers run to the end of the line, separated by blanks or commas.
  while (!Peek().FirstOnLine && Peek().Kind != TokenKind::End) {
    if (Sc_.Accept(',')) continue;
    s.Receivers.emplace_back(Sc_.ExpectIdentifier("a receiving node name").Text);
  }
  return s;
}

void Parser::ReadTxList(const Token& kw) {
  NamedList l;
  l.Pos = kw.Pos;
  l.Id = FrameId();
  Sc_.Expect(':');
  while (!Sc_.Accept(';')) {
    if (Sc_.Accept(',')) continue;
    l.Names.push_back(Name("a node name"));
  }
  TxLists.push_back(std::move(l));
}

void Parser::ReadEnv(const Token& kw) {
  EnvRec e;
  e.Pos = kw.Pos;
  e.Name = Name("an environment variable name");
  Sc_.Expect(':');
  e.Type = static_cast<int>(Sc_.ExpectInteger("a variable type (0, 1 or 2)", 0, 2));
  Sc_.Expect('[');
  e.Min = Sc_.ExpectNumber("a minimum");
  Sc_.Expect('|');
  e.Max = Sc_.ExpectNumber("a maximum");
  Sc_.Expect(']');
  e.Unit = String();
  e.Init = Sc_.ExpectNumber("an initial value");
  e.Id = Sc_.ExpectInteger("a variable identifier");
  Token access = Sc_.ExpectIdentifier("an access type (DUMMY_NODE_VECTORn)");
  std::string_view a = access.Text;
  constexpr std::string_view kPrefix = "DUMMY_NODE_VECTOR";
  unsigned code = 0;
  if (a.substr(0, kPrefix.size()) != kPrefix ||
      std::from_chars(a.data() + kPrefix.size(), a.data() + a.size(), code, 16).ptr != a.data() + a.size())
    Sc_.Fail(access, "an access type (DUMMY_NODE_VECTORn)");
  e.Access = static_cast<int>(code & 0x3);
  e.DataFlag = (code & 0x8000) != 0;
  while (!Sc_.Accept(';')) {
    if (Sc_.Accept(',')) continue;
    e.Nodes.push_back(Name("a node name"));
  }
  Envs.push_back(std::move(e));
}

void Parser::ReadEnvData(const Token& kw) {
  NamedList l;
  l.Pos = kw.Pos;
  l.Name = Name("an environment variable name");
  Sc_.Expect(':');
  l.Number = Sc_.ExpectInteger("a data length", 0, INT32_MAX);
  EndStatement();
  EnvData.push_back(std::move(l));
}

void Parser::ReadComment(const Token& kw) {
  CommentRec c;
  c.Pos = kw.Pos;
  c.Obj = Object(ObjectKind());
  c.Text = String();
  EndStatement();
  Comments.push_back(std::move(c));
}

void Parser::ReadAttrDef(const Token& kw) {
  AttrDefRec d;
  d.Pos = kw.Pos;
  d.Kind = ObjectKind();
  d.Name = String();
  Token type = Sc_.ExpectIdentifier("an attribute type (INT, HEX, FLOAT, STRING or ENUM)");
  if (type.Text == "INT" || type.Text == "HEX" || type.Text == "FLOAT") {
    d.Type = type.Text == "INT" ? kAttrInt : type.Text == "HEX" ? kAttrHex : kAttrFloat;
    d.Min = Sc_.ExpectNumber("a minimum");
    d.Max = Sc_.ExpectNumber("a maximum");
  } else if (type.Text == "STRING") {
    d.Type = kAttrString;
  } else if (type.Text == "ENUM") {
    d.Type = kAttrEnum;
    while (Peek().Kind == TokenKind::String) {
      d.EnumValues.push_back(String());
      if (!Sc_.Accept(',')) break;
    }
  } else {
    Sc_.Fail(type, "an attribute type (INT, HEX, FLOAT, STRING or ENUM)");
  }
  EndStatement();
  Defs.push_back(std::move(d));
}

void Parser::ReadAttrDefault() {
  std::string name = String();
  TypedValue v = Value();
  EndStatement();
  Defaults.emplace_back(std::move(name), std::move(v));
}

void Parser::ReadAttrValue(const Token& kw) {
  AttrValueRec v;
  v.Pos = kw.Pos;
  v.Name = String();
  v.Obj = Object(ObjectKind());
  v.Value = Value();
  EndStatement();
  Values.push_back(std::move(v));
}

void Parser::ReadVal(const Token& kw) {
  ValRec r;
  r.Pos = kw.Pos;
  if (Peek().Kind == TokenKind::Number) {
    r.Obj = Object(ObjKind::Signal);
  } else {
    r.Obj = Object(ObjKind::EnvVar);
  }
  while (!Sc_.Accept(';')) {
    int64_t v = Sc_.ExpectInteger("a value");
    r.Values.push_back({v, String()});
  }
  Vals.push_back(std::move(r));
}

void Parser::ReadSigGroup(const Token& kw) {
  NamedList l;
  l.Pos = kw.Pos;
  l.Id = FrameId();
  l.Name = Name("a signal group name");
  l.Number = Sc_.ExpectInteger("a repetition count", INT32_MIN, INT32_MAX);
  Sc_.Expect(':');
  while (!Sc_.Accept(';')) {
    if (Sc_.Accept(',')) continue;
    l.Names.push_back(Name("a signal name"));
  }
  Groups.push_back(std::move(l));
}

void Parser::ReadValType(const Token& kw) {
  NamedList l;
  l.Pos = kw.Pos;
  l.Id = FrameId();
  l.Name = Name("a signal name");
  Sc_.Accept(':');
  l.Number = Sc_.ExpectInteger("a value type (0, 1 or 2)", 0, 2);
  EndStatement();
  ValueTypes.push_back(std::move(l));
}

// --- Building ----------------------------------------------------------------

struct NodeItems {
  TNode* Node = nullptr;
  TIfc* Ifc = nullptr;
  TIfcMode* Mode = nullptr;
};

struct PlacementKey {
  uint32_t Id;
  std::string Signal;
  bool operator<(const PlacementKey& o) const { return Id != o.Id ? Id < o.Id : Signal < o.Signal; }
};

int32_t ObjTypeOf(ObjKind k) {
  switch (k) {
    case ObjKind::Network: return kAttrObjNetwork;
    case ObjKind::Node: return kAttrObjNode;
    case ObjKind::Frame: return kAttrObjFrame;
    case ObjKind::Signal: return kAttrObjSignal;
    case ObjKind::EnvVar: return kAttrObjEnvVar;
  }
  return kAttrObjNetwork;
}

const char* KindWord(ObjKind k) {
  switch (k) {
    case ObjKind::Network: return "network";
    case ObjKind::Node: return "node";
    case ObjKind::Frame: return "frame";
    case ObjKind::Signal: return "signal";
    case ObjKind::EnvVar: return "environment variable";
  }
  return "object";
}

std::string Describe(const ObjRef& o) {
  switch (o.Kind) {
    case ObjKind::Network: return "the network";
    case ObjKind::Node: return "node " + o.Name;
    case ObjKind::Frame: return "frame " + std::to_string(o.Id);
    case ObjKind::Signal: return "signal " + o.Name + " of frame " + std::to_string(o.Id);
    case ObjKind::EnvVar: return "environment variable " + o.Name;
  }
  return "";
}

// 32-bit reals of the model hold DBC reals up to their largest finite value.
float ToFloat(double v) { return static_cast<float>(std::clamp(v, -3.4028234663852886e38, 3.4028234663852886e38)); }

int64_t ClampInt64(double v) {
  if (!(v > -9.2233720368547758e18)) return INT64_MIN;
  if (v >= 9.2233720368547758e18) return INT64_MAX;
  return static_cast<int64_t>(std::llround(v));
}

int32_t ClampInt32(double v) {
  if (!(v >= INT32_MIN)) return INT32_MIN;
  if (v > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(std::llround(v));
}

class Builder {
 public:
  Builder(TZOR_RAM& ram, Parser& p, const std::string& file, const ImportOptions& options, DiagnosticLog& log)
      : Ram_(ram), P_(p), File_(file), Options_(options), Log_(log) {}

  TNetwork* Run();

 private:
  void Warn(SourcePos pos, std::string text) { Log_.Warn(File_, pos, std::move(text)); }
  const TypedValue* NetworkValue(const char* name);
  const TypedValue* AttrFor(const char* name, ObjKind kind, uint32_t id, const std::string& obj);
  const TypedValue* DefaultOf(const char* name);
  void IndexAttributes();
  void MakeNodes();
  NodeItems& NodeFor(const std::string& name);
  NodeItems MakeNode(const std::string& name);
  void MakeDefinitions();
  void MakeFrames();
  TSignal* SignalFor(const FrameRec& f, const SignalRec& s, bool periodic, const std::vector<ValueDesc>* vals);
  TEncType* NewEncType(const std::string& name, int32_t size, bool isSigned);
  void AddEncode(TEncType* type, int32_t kind, int64_t min, int64_t max, float offset, float scale,
                 const std::string& text);
  void MakeEnvironment();
  void MakeValues();
  void MakeReserved();
  void MakeGroups();
  TCDBAttributeDef* ReservedDef(const char* name, int32_t objType, int32_t attrType);
  TCDBAttribute* NewValue(TCDBAttributeDef* def, ObjKind kind, TItemData* object, uint32_t id,
                          const std::string& name);
  bool FindObject(const ObjRef& o, TItemData** object);

  TZOR_RAM& Ram_;
  Parser& P_;
  const std::string& File_;
  const ImportOptions& Options_;
  DiagnosticLog& Log_;
  TNetwork* Net_ = nullptr;

  std::unordered_map<std::string, NodeItems> Nodes_;
  std::unordered_map<uint32_t, TNetFrame*> Frames_;
  std::map<PlacementKey, TNetSig*> Placements_;  // the first of each identifier and name
  std::vector<TNetFrame*> FrameList_;               // one per P_.Frames
  std::vector<std::vector<TNetSig*>> PlacementList_;  // one per signal record; null: skipped
  std::unordered_map<std::string, TEnvVariable*> Envs_;
  std::unordered_map<std::string, TCDBAttributeDef*> Defs_;
  std::unordered_map<std::string, size_t> DefIndex_;  // into P_.Defs
  std::unordered_map<std::string, const TypedValue*> Defaults_;
  // Attribute values by definition name and object.
  std::map<std::tuple<std::string, int, uint32_t, std::string>, const TypedValue*> AttrIndex_;
  std::map<std::pair<uint32_t, std::string>, ValRec*> SignalVals_;
  std::unordered_map<std::string, ValRec*> EnvVals_;
  std::unordered_map<std::string, TSignal*> Signals_;  // by everything a signal holds
  std::set<std::pair<TIfc*, TSignal*>> Published_, Subscribed_;
  std::unordered_set<std::string> EncTypeNames_;
  // Per name, the first number that may still be free for a "_n" suffix
  // (every smaller one is taken, and names are never given back).
  std::unordered_map<std::string, int> NextSuffix_;
};

const TypedValue* Builder::DefaultOf(const char* name) {
  auto it = Defaults_.find(name);
  return it == Defaults_.end() ? nullptr : it->second;
}

const TypedValue* Builder::AttrFor(const char* name, ObjKind kind, uint32_t id, const std::string& obj) {
  auto it = AttrIndex_.find({name, static_cast<int>(kind), id, obj});
  if (it != AttrIndex_.end()) return it->second;
  auto d = DefIndex_.find(name);
  if (d == DefIndex_.end() || P_.Defs[d->second].Kind != kind) return nullptr;
  return DefaultOf(name);
}

const TypedValue* Builder::NetworkValue(const char* name) { return AttrFor(name, ObjKind::Network, 0, ""); }

void Builder::IndexAttributes() {
  for (size_t i = 0; i < P_.Defs.size(); ++i) DefIndex_.try_emplace(P_.Defs[i].Name, i);
  for (auto& [name, value] : P_.Defaults) Defaults_[name] = &value;
  for (AttrValueRec& v : P_.Values)
    AttrIndex_.try_emplace({v.Name, static_cast<int>(v.Obj.Kind), v.Obj.Id, v.Obj.Name}, &v.Value);
  for (ValRec& r : P_.Vals) {
    if (r.Obj.Kind == ObjKind::Signal)
      SignalVals_.try_emplace({r.Obj.Id, r.Obj.Name}, &r);
    else
      EnvVals_.try_emplace(r.Obj.Name, &r);
  }
}

TNetwork* Builder::Run() {
  IndexAttributes();
  for (TEncType* e : Ram_.EncTypes)
    if (e) EncTypeNames_.insert(e->Name);

  Net_ = Ram_.NewItem(Ram_.Networks);
  Net_->Name = Options_.NetworkName;
  if (Net_->Name.empty())
    if (const TypedValue* v = NetworkValue(kDbName); v && v->IsString) Net_->Name = v->Text;
  if (Net_->Name.empty()) {
    size_t slash = File_.find_last_of("/\\");
    std::string base = slash == std::string::npos ? File_ : File_.substr(slash + 1);
    size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    Net_->Name = base;
  }
  Net_->Version = P_.Version;
  Net_->Symbols = P_.Symbols;
  const TypedValue* protocol = NetworkValue(kProtocolType);
  Net_->Type = protocol && SameTextAscii(protocol->Text, "J1939") ? kNetTypeJ1939 : kNetTypeCAN;
  Net_->NetSpeed = kDefaultSpeed;
  if (const TypedValue* speed = NetworkValue(kBaudrate); speed && !speed->IsString && speed->Number > 0)
    Net_->NetSpeed = ClampInt32(speed->Number);
  if (Options_.Speed > 0) Net_->NetSpeed = Options_.Speed;
  Net_->SamplePos = 87500;
  Net_->SJW = 1000;
  Net_->SampMode = 1;

  for (auto& [kw, where] : P_.Skipped)
    Warn(where.first, kw + ": " + std::to_string(where.second) + " statement(s) skipped; this section is not supported");

  MakeNodes();
  MakeFrames();
  MakeEnvironment();
  MakeDefinitions();
  MakeValues();
  MakeReserved();
  MakeGroups();

  for (ValRec& r : P_.Vals)
    if (!r.Used) Warn(r.Pos, "VAL_: " + Describe(r.Obj) + " is not in the file; value descriptions dropped");
  return Net_;
}

NodeItems Builder::MakeNode(const std::string& name) {
  NodeItems n;
  n.Node = Ram_.NewItem(Ram_.Nodes);
  n.Node->Name = name;
  n.Node->FrameProcessingPeriod = 1000;
  n.Ifc = Ram_.NewItem(Ram_.Ifcs);
  n.Ifc->Node = n.Node;
  n.Node->Ifcs.Add(n.Ifc);
  n.Ifc->Name = name + "_CAN";
  n.Ifc->IfcType = kIfcCAN;
  n.Ifc->Network = Net_;
  n.Mode = Ram_.NewItem(Ram_.IfcModes);
  n.Mode->Ifc = n.Ifc;
  n.Mode->Name = name + "_Run";
  n.Ifc->IfcModes.Add(n.Mode);
  TCtrl* ctrl = Ram_.NewItem(Ram_.Ctrls);
  ctrl->Ifc = n.Ifc;
  ctrl->Name = name + "_Ctrl";
  n.Ifc->Ctrls.Add(ctrl);
  return n;
}

void Builder::MakeNodes() {
  for (auto& [name, pos] : P_.Nodes) {
    if (name == kNoNode) continue;
    if (Nodes_.count(name)) {
      Warn(pos, "BU_: node " + name + " is listed twice; the second is ignored");
      continue;
    }
    Nodes_.emplace(name, MakeNode(name));
  }
  // Nodes that BU_ does not list are added in the order they are first named.
  auto madeUp = [&](const std::string& name, SourcePos pos) {
    if (name == kNoNode || Nodes_.count(name)) return;
    Warn(pos, "node " + name + " is not listed in BU_; added");
    Nodes_.emplace(name, MakeNode(name));
  };
  bool noNodeSends = false;
  for (const FrameRec& f : P_.Frames) {
    madeUp(f.Sender, f.Pos);
    noNodeSends |= f.Sender == kNoNode;
    for (const SignalRec& s : f.Signals)
      for (const std::string& r : s.Receivers) madeUp(r, s.Pos);
  }
  for (const NamedList& l : P_.TxLists)
    for (const std::string& n : l.Names) madeUp(n, l.Pos);
  // Frames without a sender need an interface to belong to; that node comes last.
  if (noNodeSends) Nodes_.emplace(kNoNode, MakeNode(kNoNode));
}

NodeItems& Builder::NodeFor(const std::string& name) { return Nodes_.at(name); }

TEncType* Builder::NewEncType(const std::string& name, int32_t size, bool isSigned) {
  std::string unique = name;
  if (!EncTypeNames_.insert(unique).second) {
    int& n = NextSuffix_.try_emplace(name, 2).first->second;
    do unique = name + "_" + std::to_string(n++);
    while (!EncTypeNames_.insert(unique).second);
  }
  TEncType* e = Ram_.NewItem(Ram_.EncTypes);
  e->Name = unique;
  e->Size = size;
  e->Signed = isSigned;
  return e;
}

void Builder::AddEncode(TEncType* type, int32_t kind, int64_t min, int64_t max, float offset, float scale,
                        const std::string& text) {
  TEncode* e = Ram_.NewItem(Ram_.Encodes);
  e->EncType = type;
  type->Encodes.Add(e);
  e->Type = kind;
  e->Min = min;
  e->Max = max;
  e->Offset = offset;
  e->Scale = scale;
  e->Interpr = text;
}

// The raw value of a physical one, within the raw range of the signal.
int64_t RawOf(double phys, double factor, double offset, int64_t lo, int64_t hi, bool* clamped) {
  double raw = factor != 0 ? std::round((phys - offset) / factor) : 0;
  if (!(raw >= static_cast<double>(lo))) {
    *clamped = true;
    return lo;
  }
  if (raw >= static_cast<double>(hi)) {
    *clamped |= raw > static_cast<double>(hi);
    return hi;
  }
  return static_cast<int64_t>(raw);
}

TSignal* Builder::SignalFor(const FrameRec& f, const SignalRec& s, bool periodic, const std::vector<ValueDesc>* vals) {
  int64_t initial = 0;
  if (const TypedValue* v = AttrFor(kStartValue, ObjKind::Signal, f.Id, s.Name); v && !v->IsString)
    initial = ClampInt64(v->Number);
  // Signals of the same name and the same content share one item.
  std::string key = s.Name + '\n' + std::to_string(s.Length) + (s.Signed ? "-" : "+") + FormatReal(s.Factor) + ',' +
                    FormatReal(s.Offset) + '[' + FormatReal(s.Min) + '|' + FormatReal(s.Max) + ']' + s.Unit + '\n' +
                    std::to_string(initial) + (periodic ? "P" : "S");
  for (const std::string& r : s.Receivers) key += ' ' + r;
  if (vals)
    for (const ValueDesc& d : *vals) key += '\n' + std::to_string(d.Value) + Quote(d.Text);
  auto found = Signals_.find(key);
  if (found != Signals_.end()) return found->second;

  TSignal* sig = Ram_.NewItem(Ram_.Signals);
  Signals_.emplace(key, sig);
  sig->Name = s.Name;
  sig->Size = s.Length;
  sig->SignalType = s.Signed ? kSignalSigned : kSignalUnsigned;
  sig->InfoType = kInfoState;
  sig->GenType = periodic ? kGenPeriodic : kGenSporadic;
  sig->InitValue = initial;
  const int64_t lo = s.Signed ? (s.Length == 64 ? INT64_MIN : -(int64_t{1} << (s.Length - 1))) : 0;
  const int64_t hi = s.Length == 64 ? INT64_MAX
                     : s.Signed     ? (int64_t{1} << (s.Length - 1)) - 1
                                    : (int64_t{1} << s.Length) - 1;
  bool clamped = false;
  int64_t rawMin = lo, rawMax = hi;
  if (s.Min != 0 || s.Max != 0) {
    rawMin = RawOf(s.Factor >= 0 ? s.Min : s.Max, s.Factor, s.Offset, lo, hi, &clamped);
    rawMax = RawOf(s.Factor >= 0 ? s.Max : s.Min, s.Factor, s.Offset, lo, hi, &clamped);
  }
  if (clamped)
    Warn(s.Pos, "signal " + s.Name + " of frame " + f.Name + ": the range [" + FormatReal(s.Min) + "|" +
                    FormatReal(s.Max) + "] exceeds what " + std::to_string(s.Length) +
                    " bits hold; limited to the raw range");
  sig->Factor = ToFloat(s.Factor);
  sig->Offset = ToFloat(s.Offset);
  sig->Minimum = rawMin;
  sig->Maximum = rawMax;
  sig->Unit = s.Unit;
  TEncType* enc = NewEncType(s.Name, s.Length, s.Signed);
  sig->EncType = enc;
  bool plainScale = s.Factor == 1 && s.Offset == 0 && s.Unit.empty();
  if (!vals || vals->empty() || !plainScale)
    AddEncode(enc, kEncodePhysical, rawMin, rawMax, ToFloat(s.Offset), ToFloat(s.Factor), s.Unit);
  if (vals)
    for (const ValueDesc& d : *vals) AddEncode(enc, kEncodeLogical, d.Value, d.Value, 0, 1, d.Text);
  return sig;
}

void Builder::MakeFrames() {
  for (const FrameRec& f : P_.Frames) {
    NodeItems& sender = NodeFor(f.Sender);
    TNetFrame* frame = Ram_.NewItem(Ram_.NetFrames);
    frame->Ifc = sender.Ifc;
    sender.Ifc->NetFrames.Add(frame);
    frame->Network = Net_;
    frame->Name = f.Name;
    frame->Size = f.Size;
    frame->FrameId = f.Id;
    // J1939 frames longer than 8 bytes go with the multi-packet protocol.
    if (Net_->Type == kNetTypeJ1939 && f.Size > 8) frame->FrameId |= kJ1939MultiPacketBit;
    if (!Frames_.emplace(f.Id, frame).second)
      Warn(f.Pos, "frame " + f.Name + ": identifier " + std::to_string(f.Id) +
                      " is used by an earlier frame; comments and attributes go to the first");
    int intel = 0;
    for (const SignalRec& s : f.Signals) intel += s.Intel ? 1 : -1;
    const bool frameIntel = intel > 0 || (intel == 0 && (f.Signals.empty() || f.Signals[0].Intel));
    frame->ByteOrder = frameIntel ? kByteOrderLittleEndian : kByteOrderBigEndian;
    int32_t cycle = 0;
    if (const TypedValue* v = AttrFor(kCycleTime, ObjKind::Frame, f.Id, ""); v && !v->IsString)
      cycle = ClampInt32(v->Number);
    const bool periodic = cycle > 0;
    frame->TransportType = periodic ? kTransportPeriodic : kTransportSporadic;
    TTxFrameTiming* timing = Ram_.NewItem(Ram_.TxFrameTimings);
    timing->Frame = frame;
    frame->TxFrameTimings.Add(timing);
    timing->FramePeriod = periodic && cycle <= INT32_MAX / 1000 ? cycle * 1000 : periodic ? INT32_MAX : 0;
    timing->IfcMode = sender.Mode;

    FrameList_.push_back(frame);
    std::vector<TNetSig*>& placed = PlacementList_.emplace_back();
    std::unordered_set<std::string> names;
    for (const SignalRec& s : f.Signals) {
      if (!names.insert(s.Name).second) {
        Warn(s.Pos, "frame " + f.Name + ": signal " + s.Name + " is placed twice; the second is ignored");
        placed.push_back(nullptr);
        continue;
      }
      ValRec* vals = nullptr;
      if (auto it = SignalVals_.find({f.Id, s.Name}); it != SignalVals_.end()) {
        vals = it->second;
        vals->Used = true;
      }
      TSignal* sig = SignalFor(f, s, periodic, vals ? &vals->Values : nullptr);
      TNetSig* p = Ram_.NewItem(Ram_.NetSigs);
      p->Frame = frame;
      frame->NetSigs.Add(p);
      p->Network = Net_;
      p->Signal = sig;
      p->Offset = OffsetFromStartBit(s.StartBit, s.Intel);
      p->Multiplexed = s.Multiplexed;
      p->MultiplexerValue = s.MuxValue;
      Placements_.try_emplace(PlacementKey{f.Id, s.Name}, p);
      placed.push_back(p);
      if (Published_.insert({sender.Ifc, sig}).second) {
        TPubSig* pub = Ram_.NewItem(Ram_.PubSigs);
        pub->Ifc = sender.Ifc;
        pub->Signal = sig;
        sender.Ifc->PubSigs.Add(pub);
      }
      for (const std::string& r : s.Receivers) {
        if (r == kNoNode) continue;
        TIfc* ifc = NodeFor(r).Ifc;
        if (!Subscribed_.insert({ifc, sig}).second) continue;
        TSubSig* sub = Ram_.NewItem(Ram_.SubSigs);
        sub->Ifc = ifc;
        sub->Signal = sig;
        ifc->SubSigs.Add(sub);
      }
    }
  }
}

void Builder::MakeEnvironment() {
  if (P_.Envs.empty()) {
    for (const NamedList& d : P_.EnvData)
      Warn(d.Pos, "ENVVAR_DATA_: environment variable " + d.Name + " is not in the file; dropped");
    return;
  }
  std::unordered_map<std::string, const NamedList*> data;
  for (const NamedList& d : P_.EnvData) data.try_emplace(d.Name, &d);
  TEnvGroup* group = Ram_.NewItem(Ram_.EnvGroups);
  group->Name = Net_->Name;
  Net_->EnvGroup = group;
  Net_->EnvGroupName = group->Name;
  for (const EnvRec& e : P_.Envs) {
    if (Envs_.count(e.Name)) {
      Warn(e.Pos, "EV_: environment variable " + e.Name + " is defined twice; the second is ignored");
      continue;
    }
    auto d = data.find(e.Name);
    const bool isData = d != data.end() || e.DataFlag;
    TEnvVariable* var = nullptr;
    if (isData) {
      TEnvData* v = Ram_.NewItem(Ram_.EnvDatas);
      v->DataLength = d != data.end() ? static_cast<int32_t>(d->second->Number) : 0;
      v->Nodes = e.Nodes;
      group->EnvDataList.Add(v);
      var = v;
      if (d != data.end()) data.erase(d);
    } else if (e.Type == 1) {
      TEnvFloat* v = Ram_.NewItem(Ram_.EnvFloats);
      v->MinValue = ToFloat(e.Min);
      v->MaxValue = ToFloat(e.Max);
      v->InitialValue = ToFloat(e.Init);
      v->Nodes = e.Nodes;
      group->EnvFloatList.Add(v);
      var = v;
    } else if (e.Type == 2) {
      TEnvStr* v = Ram_.NewItem(Ram_.EnvStrs);
      v->Nodes = e.Nodes;
      group->EnvStrList.Add(v);
      var = v;
    } else {
      TEnvInt* v = Ram_.NewItem(Ram_.EnvInts);
      v->MinValue = ClampInt64(e.Min);
      v->MaxValue = ClampInt64(e.Max);
      v->InitialValue = ClampInt64(e.Init);
      v->Nodes = e.Nodes;
      if (auto it = EnvVals_.find(e.Name); it != EnvVals_.end()) {
        it->second->Used = true;
        TEncType* enc = NewEncType(e.Name, 32, true);
        for (const ValueDesc& vd : it->second->Values) AddEncode(enc, kEncodeLogical, vd.Value, vd.Value, 0, 1, vd.Text);
        v->EncType = enc;
        v->EncTypeName = enc->Name;
      }
      group->EnvIntList.Add(v);
      var = v;
    }
    if ((e.Type == 2 || isData) && (e.Min != 0 || e.Max != 0 || e.Init != 0))
      Warn(e.Pos, "EV_: environment variable " + e.Name + " holds no range or initial value; dropped");
    var->Name = e.Name;
    var->Unit = e.Unit;
    var->AccessType = e.Access;
    var->Group = group;
    var->GetDisplayName();  // attribute values are saved under the variable's display name
    Envs_.emplace(e.Name, var);
  }
  for (auto& [name, d] : data)
    Warn(d->Pos, "ENVVAR_DATA_: environment variable " + name + " is not in the file; dropped");
}

void Builder::MakeDefinitions() {
  for (const AttrDefRec& d : P_.Defs) {
    if (Defs_.count(d.Name)) {
      Warn(d.Pos, "BA_DEF_: attribute " + d.Name + " is defined twice; the second is ignored");
      continue;
    }
    TCDBAttributeDef* def = Ram_.NewItem(Ram_.CDBAttributeDefs);
    Net_->Attributes.Add(def);
    def->Name = d.Name;
    def->ObjectType = ObjTypeOf(d.Kind);
    def->AttriType = d.Type;
    def->EnumValues = d.EnumValues;
    if (d.Type == kAttrFloat) {
      def->MinFloat = ToFloat(d.Min);
      def->MaxFloat = ToFloat(d.Max);
    } else if (d.Type == kAttrHex && d.Max > INT32_MAX && d.Max <= UINT32_MAX && d.Min >= 0) {
      // HEX limits up to 0xFFFFFFFF keep their 32-bit pattern.
      def->MinInt = static_cast<int32_t>(static_cast<uint32_t>(d.Min));
      def->MaxInt = static_cast<int32_t>(static_cast<uint32_t>(d.Max));
    } else if (d.Type == kAttrInt || d.Type == kAttrHex) {
      def->MinInt = ClampInt32(d.Min);
      def->MaxInt = ClampInt32(d.Max);
      if (def->MinInt != d.Min || def->MaxInt != d.Max)
        Warn(d.Pos, "BA_DEF_: attribute " + d.Name + ": limits beyond 32 bits are limited to 32 bits");
    }
    Defs_.emplace(d.Name, def);
  }
  for (auto& [name, v] : P_.Defaults) {
    auto it = Defs_.find(name);
    if (it == Defs_.end()) {
      Warn(v.Pos, "BA_DEF_DEF_: attribute " + name + " is not defined; its default is dropped");
      continue;
    }
    TCDBAttributeDef* def = it->second;
    switch (def->AttriType) {
      case kAttrFloat: def->DefaultFloat = ToFloat(v.Number); break;
      case kAttrString: def->DefaultString = v.Text; break;
      case kAttrEnum: def->DefaultEnum = v.Text; break;
      default:
        def->DefaultInt = v.Number > INT32_MAX && v.Number <= UINT32_MAX
                              ? static_cast<int32_t>(static_cast<uint32_t>(v.Number))
                              : ClampInt32(v.Number);
    }
  }
}

bool Builder::FindObject(const ObjRef& o, TItemData** object) {
  *object = nullptr;
  switch (o.Kind) {
    case ObjKind::Network: return true;
    case ObjKind::Node: {
      auto it = Nodes_.find(o.Name);
      if (it == Nodes_.end() || o.Name == kNoNode) return false;
      *object = it->second.Node;
      return true;
    }
    case ObjKind::Frame: {
      auto it = Frames_.find(o.Id);
      if (it == Frames_.end()) return false;
      *object = it->second;
      return true;
    }
    case ObjKind::Signal: {
      auto it = Placements_.find({o.Id, o.Name});
      if (it == Placements_.end()) return false;
      *object = it->second;
      return true;
    }
    case ObjKind::EnvVar: {
      auto it = Envs_.find(o.Name);
      if (it == Envs_.end()) return false;
      *object = it->second;
      return true;
    }
  }
  return false;
}

TCDBAttribute* Builder::NewValue(TCDBAttributeDef* def, ObjKind kind, TItemData* object, uint32_t id,
                                 const std::string& name) {
  TCDBAttribute* a = Ram_.NewItem(Ram_.CDBAttributes);
  Net_->AttributeValues.Add(a);
  a->Definition = def;
  a->DefinitionName = def->Name;
  a->ValueObjectType = def->ObjectType;
  a->ValueAttriType = def->AttriType;
  a->Object = object;
  switch (kind) {
    case ObjKind::Network: break;
    case ObjKind::Node: a->NodeName = name; break;
    case ObjKind::Frame: a->MsgId = static_cast<int32_t>(id); break;
    case ObjKind::Signal:
      a->MsgId = static_cast<int32_t>(id);
      a->SigName = name;
      break;
    case ObjKind::EnvVar: a->EnvName = name; break;
  }
  return a;
}

void Builder::MakeValues() {
  for (const AttrValueRec& v : P_.Values) {
    auto it = Defs_.find(v.Name);
    if (it == Defs_.end()) {
      Warn(v.Pos, "BA_: attribute " + v.Name + " is not defined; its value for " + Describe(v.Obj) + " is dropped");
      continue;
    }
    TCDBAttributeDef* def = it->second;
    if (def->ObjectType != ObjTypeOf(v.Obj.Kind)) {
      Warn(v.Pos, "BA_: attribute " + v.Name + " is not defined for a " + KindWord(v.Obj.Kind) +
                      "; its value for " + Describe(v.Obj) + " is dropped");
      continue;
    }
    TItemData* object = nullptr;
    if (!FindObject(v.Obj, &object)) {
      Warn(v.Pos, "BA_: attribute " + v.Name + ": " + Describe(v.Obj) + " is not in the file; value dropped");
      continue;
    }
    int32_t enumIndex = 0;
    if (def->AttriType == kAttrEnum) {
      if (v.Value.IsString) {
        auto e = std::find(def->EnumValues.begin(), def->EnumValues.end(), v.Value.Text);
        if (e == def->EnumValues.end()) {
          Warn(v.Pos, "BA_: attribute " + v.Name + ": \"" + v.Value.Text + "\" is not one of its values; dropped");
          continue;
        }
        enumIndex = static_cast<int32_t>(e - def->EnumValues.begin());
      } else {
        enumIndex = ClampInt32(v.Value.Number);
      }
    }
    TCDBAttribute* a = NewValue(def, v.Obj.Kind, object, v.Obj.Id, v.Obj.Name);
    switch (def->AttriType) {
      case kAttrFloat: a->FloatValue = ToFloat(v.Value.Number); break;
      case kAttrString: a->StringValue = v.Value.Text; break;
      case kAttrEnum: a->EnumValue = enumIndex; break;
      default:
        if (v.Value.IsString) {
          Warn(v.Pos, "BA_: attribute " + v.Name + ": a number is expected, found \"" + v.Value.Text + "\"; 0 kept");
        } else if (def->AttriType == kAttrHex && v.Value.Number > INT32_MAX && v.Value.Number <= UINT32_MAX) {
          a->IntValue = static_cast<int32_t>(static_cast<uint32_t>(v.Value.Number));
        } else {
          a->IntValue = ClampInt32(v.Value.Number);
          if (a->IntValue != v.Value.Number)
            Warn(v.Pos, "BA_: attribute " + v.Name + " of " + Describe(v.Obj) + ": value " + v.Value.Text +
                            " does not fit 32 bits; limited to " + std::to_string(a->IntValue));
        }
    }
  }
}

TCDBAttributeDef* Builder::ReservedDef(const char* name, int32_t objType, int32_t attrType) {
  auto it = Defs_.find(name);
  if (it != Defs_.end()) return it->second;
  TCDBAttributeDef* def = Ram_.NewItem(Ram_.CDBAttributeDefs);
  Net_->Attributes.Add(def);
  def->Name = name;
  def->ObjectType = objType;
  def->AttriType = attrType;
  if (attrType == kAttrInt) def->MaxInt = INT32_MAX;
  Defs_.emplace(name, def);
  return def;
}

void Builder::MakeReserved() {
  static constexpr const char* kCommentDefs[] = {kNetworkComment, kNodeComment, kFrameComment, kSignalComment,
                                                 kEnvVarComment};
  for (const CommentRec& c : P_.Comments) {
    TItemData* object = nullptr;
    if (!FindObject(c.Obj, &object)) {
      Warn(c.Pos, "CM_: " + Describe(c.Obj) + " is not in the file; comment dropped");
      continue;
    }
    TCDBAttributeDef* def =
        ReservedDef(kCommentDefs[static_cast<int>(c.Obj.Kind)], ObjTypeOf(c.Obj.Kind), kAttrString);
    NewValue(def, c.Obj.Kind, object, c.Obj.Id, c.Obj.Name)->StringValue = c.Text;
  }
  for (const NamedList& l : P_.TxLists) {
    auto it = Frames_.find(l.Id);
    if (it == Frames_.end()) {
      Warn(l.Pos, "BO_TX_BU_: frame " + std::to_string(l.Id) + " is not in the file; transmitters dropped");
      continue;
    }
    std::string names;
    for (const std::string& n : l.Names) names += (names.empty() ? "" : ",") + n;
    TCDBAttributeDef* def = ReservedDef(kTransmitters, kAttrObjFrame, kAttrString);
    NewValue(def, ObjKind::Frame, it->second, l.Id, "")->StringValue = names;
  }
  for (size_t i = 0; i < P_.Frames.size(); ++i) {
    const FrameRec& f = P_.Frames[i];
    TNetFrame* frame = FrameList_[i];
    for (size_t k = 0; k < f.Signals.size(); ++k) {
      const SignalRec& s = f.Signals[k];
      TNetSig* p = PlacementList_[i][k];
      if (!p) continue;
      if (s.Intel != (frame->ByteOrder == kByteOrderLittleEndian)) {
        TCDBAttributeDef* def = ReservedDef(kByteOrder, kAttrObjSignal, kAttrInt);
        NewValue(def, ObjKind::Signal, p, f.Id, s.Name)->IntValue = s.Intel ? 1 : 0;
        Warn(s.Pos, "signal " + s.Name + " of frame " + f.Name +
                        ": its byte order differs from the frame's; kept in attribute " + kByteOrder +
                        ", the checks see its bits approximated");
      }
      if (s.Role.size() > 1 && s.Role.back() == 'M') {
        TCDBAttributeDef* def = ReservedDef(kMultiplexRole, kAttrObjSignal, kAttrString);
        NewValue(def, ObjKind::Signal, p, f.Id, s.Name)->StringValue = s.Role;
        Warn(s.Pos, "signal " + s.Name + " of frame " + f.Name + ": extended multiplexing (" + s.Role +
                        ") is kept in attribute " + kMultiplexRole + "; the checks see a multiplexed signal");
      }
    }
  }
  for (const NamedList& t : P_.ValueTypes) {
    TItemData* object = nullptr;
    if (!FindObject({ObjKind::Signal, t.Name, t.Id}, &object)) {
      Warn(t.Pos, "SIG_VALTYPE_: signal " + t.Name + " of frame " + std::to_string(t.Id) +
                      " is not in the file; dropped");
      continue;
    }
    if (t.Number == 0) continue;
    TCDBAttributeDef* def = ReservedDef(kValueType, kAttrObjSignal, kAttrInt);
    NewValue(def, ObjKind::Signal, object, t.Id, t.Name)->IntValue = static_cast<int32_t>(t.Number);
  }
  for (const RawRec& t : P_.ValueTables)
    NewValue(ReservedDef(kValueTable, kAttrObjNetwork, kAttrString), ObjKind::Network, nullptr, 0, "")
        ->StringValue = t.Text;
  for (const RawRec& t : P_.Statements)
    NewValue(ReservedDef(kStatement, kAttrObjNetwork, kAttrString), ObjKind::Network, nullptr, 0, "")
        ->StringValue = t.Text;
  // In the order the writer writes the variables: by kind.
  if (TEnvGroup* g = Net_->EnvGroup) {
    std::unordered_map<std::string, int64_t> ids;
    for (const EnvRec& e : P_.Envs) ids.try_emplace(e.Name, e.Id);
    auto add = [&](TEnvVariable* v) {
      int64_t id = ids[v->Name];
      if (id == 0) return;
      TCDBAttributeDef* def = ReservedDef(kEnvVarId, kAttrObjEnvVar, kAttrInt);
      NewValue(def, ObjKind::EnvVar, v, 0, v->Name)->IntValue = static_cast<int32_t>(id);
    };
    for (TEnvInt* v : g->EnvIntList) add(v);
    for (TEnvFloat* v : g->EnvFloatList) add(v);
    for (TEnvStr* v : g->EnvStrList) add(v);
    for (TEnvData* v : g->EnvDataList) add(v);
  }
}

void Builder::MakeGroups() {
  for (const NamedList& g : P_.Groups) {
    if (!Frames_.count(g.Id))
      Warn(g.Pos, "SIG_GROUP_: signal group " + g.Name + " names frame " + std::to_string(g.Id) +
                      ", which is not in the file");
    TSigGrp* grp = Ram_.NewItem(Ram_.SigGrps);
    Net_->SignalGroups.Add(grp);
    grp->Name = g.Name;
    grp->MsgId = static_cast<int32_t>(g.Id);
    grp->Repetition = static_cast<int32_t>(g.Number);
    grp->Signals = g.Names;
  }
}

}  // namespace

TNetwork* ReadDbc(TZOR_RAM& ram, const std::string& fileName, std::string_view text, const ImportOptions& options,
                  DiagnosticLog& log) {
  Parser parser(fileName, text, log);
  parser.Run();
  return Builder(ram, parser, fileName, options, log).Run();
}

}  // namespace ZOR_RAM::interop
