// Networks, network modes (schedule tables) and schedule entries.
//
// A network (TNetwork) is one bus. It refers to its network modes, and on a
// LIN network each mode is a schedule table that refers to its schedule
// entries (TSchEntry). Version "2.000" files also keep a network's
// configurations, signal groups, attribute definitions and values, and unused
// signals inside its element. All of these children are owned by the
// database lists; the network's and mode's lists only refer.
//
// The frames of a network belong to the interfaces that transmit them; the
// network computes its interface, frame and frame-holder lists on demand.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "zor/model/item.h"

namespace ZOR_RAM {

class TNetMode;
class TSchEntry;
class TIfc;
class TIfcMode;
class TNetFrame;
class TFrameHolder;
class TEnvGroup;
class TConfiguration;
class TSigGrp;
class TSigGrpLIN;
class TCDBAttributeDef;
class TCDBAttribute;
class TSignal;

// Frame identifiers 0..63 that a network can mark as dynamic.
inline constexpr int kDynamicMsgIdCount = 64;
inline constexpr uint8_t kMsgIdDynamic = 0;
inline constexpr uint8_t kMsgIdNotDynamic = 255;

// LIN protocol levels: LIN 1.0/1.1, LIN 1.2/1.3, LIN 2.0, and everything else.
inline constexpr int kLinLevel1x = 0;
inline constexpr int kLinLevel13 = 1;
inline constexpr int kLinLevel20 = 2;
inline constexpr int kLinLevelNone = 3;

// Type 0 or 1 (CAN, J1939).
ZOR_API bool IsCanNetworkType(int32_t type);
// Type 2 to 6 (LIN 1.0 ... LIN 2.0).
ZOR_API bool IsLinNetworkType(int32_t type);
// The LIN protocol level of a network type (kLinLevel1x ... kLinLevelNone).
ZOR_API int LinProtocolLevel(int32_t type);

class ZOR_API TNetwork : public TItemData {
 public:
  TNetwork();
  ~TNetwork() override;

  std::string Name;
  std::string Version;               // description-file version ("2.000" files)
  std::vector<std::string> Symbols;  // symbol names ("2.000" files), kept as stored
  int32_t Type = 0;                  // kNetTypeCAN ... kNetTypeLIN20
  int32_t NetSpeed = 0;              // bit/s
  int32_t SamplePos = 0;             // thousandths of a percent (87.5 % is 87500)
  int32_t SJW = 0;                   // same unit as SamplePos
  int32_t SampMode = 0;              // number of samples, 1 or 3
  // Indexed by frame identifier: kMsgIdDynamic or kMsgIdNotDynamic.
  uint8_t DynamicMsgIds[kDynamicMsgIdCount];
  TEnvGroup* EnvGroup = nullptr;  // linked by name after the environment section
  std::string EnvGroupName;       // the "EnvGroup" text as read

  TZORList<TNetMode> NetModes;
  TZORList<TConfiguration> Configurations;
  TZORList<TSigGrp> SignalGroups;
  TZORList<TSigGrpLIN> SignalGroupsLIN;
  TZORList<TCDBAttributeDef> Attributes;
  TZORList<TCDBAttribute> AttributeValues;
  TZORList<TSignal> UnUsedSignals;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  // The network modes, then the unused signals.
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another network of the database has exactly this name.
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  std::string GetName() override;

  bool IsCan() const { return IsCanNetworkType(Type); }
  bool IsLin() const { return IsLinNetworkType(Type); }
  int LinLevel() const { return LinProtocolLevel(Type); }
  // LIN 1.2, 1.3 or 2.0.
  bool HasDiagnosticFrames() const;

  // Every interface of the database on this network. The list is kept: each
  // call appends the database's interfaces on this network that are not yet
  // in it (an interface moved away stays listed). O(interfaces of the
  // database) per call; during a check run one scan groups them by network.
  const TZORList<TIfc>& GetInterfaces();
  // The frames transmitted by this network's interfaces, interface by
  // interface. Built on the first call and then kept.
  const TZORList<TNetFrame>& GetFrames();
  // The frame holders of this network's interfaces (LIN networks only; empty
  // on CAN). Built on its own first call and then kept.
  const TZORList<TFrameHolder>& GetFrameHolders();
  // Whether GetFrames has built the frame list.
  bool FramesBuilt() const { return FramesBuilt_; }
  // A destroyed interface or frame leaves the kept lists.
  void ForgetInterface(TIfc* ifc);
  void ForgetFrame(TNetFrame* frame);
  // The first "LIN Master" / "LIN Slave" interface of GetInterfaces, or null.
  TIfc* GetMasterInterface();
  TIfc* GetSlaveInterface();
  // Some interface of this network holds a frame message identifier for
  // frame. O(message identifiers of the network) per call.
  bool HasMessageIdFor(const TNetFrame* frame);

 private:
  TZORList<TIfc> Interfaces_;
  std::unordered_set<const TIfc*> InterfaceSet_;
  bool FramesBuilt_ = false;
  bool HoldersBuilt_ = false;
  TZORList<TNetFrame> Frames_;
  TZORList<TFrameHolder> FrameHolders_;
};

class ZOR_API TNetMode : public TItemData {
 public:
  TNetMode() = default;
  // Entries that outlive the mode lose their back-pointer.
  ~TNetMode() override;

  TNetwork* Network = nullptr;  // the owning network; set by its reader
  std::string Name;
  TZORList<TSchEntry> SchEntrys;   // entries in file order
  TZORList<TIfcMode> IfcModes;     // interface modes active in this mode

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  // The interface modes from "IfcModes", then each entry.
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Another mode of the same network has exactly this name.
  bool IsNameUsed(const std::string& name) override;
  // Network name + "." + Name (Name alone without a network).
  std::string GetDisplayName() override;
  std::string GetName() override;

  // The first "Unconditional Frame", "Event Triggered Frame" or "Sporadic
  // Frame" entry that sends frame, or null. O(entries) per call.
  TSchEntry* FindEntryForFrame(const TNetFrame* frame) const;

  // The first entry of SchEntrys other than entry with entry's Order, or
  // null. O(entries) outside a check run; indexed once per mode in a run.
  TSchEntry* OtherEntryWithOrder(const TSchEntry* entry);
};

class ZOR_API TSchEntry : public TItemData {
 public:
  TSchEntry();

  TNetMode* NetMode = nullptr;  // the owning mode
  int32_t Order = 0;            // position in the table
  int32_t Type = 0;             // kSchUnconditional ... kSchFreeFormat
  int32_t Delay = 0;            // slot length in microseconds
  // Payload of configuration entries. For "Assign NAD": byte 0 initial NAD,
  // 3-4 supplier id, 5-6 function id (low byte first), 7 new NAD.
  uint8_t data[8];
  TIfc* Ifc = nullptr;          // addressed slave (Assign / UnAssign Frame ID)
  TNetFrame* TxFrame = nullptr;  // frame or frame holder sent in this slot

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  void ResolveLinks() override;
  bool Check(uint64_t flags) override;
  // Network name "." mode name "." entry name, when the entry has a mode with
  // a network; otherwise empty.
  std::string GetDisplayName() override;
  // The entry name, which depends on the entry type ("MasterReq",
  // "AssignNAD {..}", the frame's name ...).
  std::string GetName() override;

  // The network of the entry's mode, or null.
  TNetwork* GetNetwork() const;
  // LIN protocol level of the entry's network (kLinLevelNone without one).
  int LinLevel() const;
  // Transmission time of the slot's frame in microseconds (0 when it cannot
  // be computed).
  int32_t FrameTime() const;
};

}  // namespace ZOR_RAM
