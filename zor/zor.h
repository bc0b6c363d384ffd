/* The C interface of the ZOR library.
 *
 * Usable from C and C++. In C the item types are opaque; in C++ they are the
 * library's classes in namespace ZOR_RAM. Texts are zero-terminated 8-bit
 * strings in the Windows-1252 code page. No export lets an exception escape:
 * failures go to the error sink and show in the result.
 */
#ifndef ZOR_ZOR_H
#define ZOR_ZOR_H

#include <stdbool.h>
#include <stdint.h>

#if defined(_WIN32)
/* zor.dll exports exactly the C interface, named by its .def file; the C++
 * classes stay inside it (C++ hosts link the static core). */
#if defined(ZOR_BUILDING_LIBRARY)
#define ZOR_IMPORT
#else
#define ZOR_IMPORT __declspec(dllimport)
#endif
#define ZOR_API ZOR_IMPORT
#else
#define ZOR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
namespace ZOR_RAM {
class TZOR_RAM;
#define ZOR_ITEM_CLASS(Class) class Class;
#else
#define ZOR_ITEM_CLASS(Class) typedef struct Class Class;
typedef struct TZOR_RAM TZOR_RAM;
#endif

ZOR_ITEM_CLASS(TMOSTFBlock)
ZOR_ITEM_CLASS(TMOSTFBlockInstance)
ZOR_ITEM_CLASS(TMOSTFkt)
ZOR_ITEM_CLASS(TMOSTFktParam)
ZOR_ITEM_CLASS(TMOSTParamOPType)
ZOR_ITEM_CLASS(TMOSTFktInterface)
ZOR_ITEM_CLASS(TMOSTFktIfField)
ZOR_ITEM_CLASS(TMOSTFktIf_Enumeration)
ZOR_ITEM_CLASS(TMOSTFktIf_Number)
ZOR_ITEM_CLASS(TMOSTFktIf_BitField)
ZOR_ITEM_CLASS(TMOSTBitDesc)
ZOR_ITEM_CLASS(TMOSTFktIf_String)
ZOR_ITEM_CLASS(TMOSTFktIf_Record)
ZOR_ITEM_CLASS(TMOSTFktIf_RecordField)
ZOR_ITEM_CLASS(TMOSTFktIf_Array)
ZOR_ITEM_CLASS(TMOSTFktIf_Stream)
ZOR_ITEM_CLASS(TMOSTFktIf_StreamCase)
ZOR_ITEM_CLASS(TNetwork)
ZOR_ITEM_CLASS(TNetMode)
ZOR_ITEM_CLASS(TSchEntry)
ZOR_ITEM_CLASS(TNetFrame)
ZOR_ITEM_CLASS(TFrameHolder)
ZOR_ITEM_CLASS(TNetSig)
ZOR_ITEM_CLASS(TTxFrameTiming)
ZOR_ITEM_CLASS(TNode)
ZOR_ITEM_CLASS(TGateway)
ZOR_ITEM_CLASS(TIfc)
ZOR_ITEM_CLASS(TFrameMsgId)
ZOR_ITEM_CLASS(TIfcMode)
ZOR_ITEM_CLASS(TCtrl)
ZOR_ITEM_CLASS(TPubSig)
ZOR_ITEM_CLASS(TSubSig)
ZOR_ITEM_CLASS(TFrameGateway)
ZOR_ITEM_CLASS(TSignal)
ZOR_ITEM_CLASS(TEncType)
ZOR_ITEM_CLASS(TEncode)
ZOR_ITEM_CLASS(TEnvGroup)
ZOR_ITEM_CLASS(TEnvInt)
ZOR_ITEM_CLASS(TEnvFloat)
ZOR_ITEM_CLASS(TEnvStr)
ZOR_ITEM_CLASS(TEnvData)
ZOR_ITEM_CLASS(TSigGrp)
ZOR_ITEM_CLASS(TSigGrpLIN)
ZOR_ITEM_CLASS(TCDBAttribute)
ZOR_ITEM_CLASS(TCDBAttributeDef)
ZOR_ITEM_CLASS(TComposite)
ZOR_ITEM_CLASS(TConfiguration)
#undef ZOR_ITEM_CLASS

#ifdef __cplusplus
} /* namespace ZOR_RAM */
using ZOR_RAM::TZOR_RAM;
#define ZOR_CLASS(Class) ZOR_RAM::Class
extern "C" {
#else
#define ZOR_CLASS(Class) Class
#endif

#if defined(_WIN32)
/* The caller cleans the stack, whatever the host's default convention. */
#undef ZOR_API
#define ZOR_API ZOR_IMPORT __cdecl
#endif

typedef void (*ZorMessageSink)(const char *text);
typedef void (*ZorProgressSink)(int32_t percent, const char *text);

/* The library's file version. 20 bytes; valid is false when the library file
 * carries no version record. */
typedef struct ZorVersion {
  int32_t major, minor, release, build;
  bool valid;
  uint8_t reserved[3];
} ZorVersion;

/* Registers the sinks (null drops those messages); always returns 0. */
ZOR_API int32_t _Init(ZorMessageSink onError, ZorMessageSink onWarning, int32_t reserved,
                      ZorProgressSink onProgress);
ZOR_API TZOR_RAM *_NewRAM(void);
/* Null on failure (the error sink has the reason; an empty name is refused silently). */
ZOR_API TZOR_RAM *_LoadFile(const char *fileName);
ZOR_API void _UpdateRAM(TZOR_RAM *ram);
ZOR_API void _CreateLINdiagObjects(TZOR_RAM *ram);
/* True when an error-severity finding was reported (or the database is null). */
ZOR_API bool _CheckRAM(TZOR_RAM *ram, uint64_t flags);
/* True on failure; an existing file is left untouched then. */
ZOR_API bool _SaveRAM(TZOR_RAM *ram, const char *fileName);
ZOR_API void _FreeRAM(TZOR_RAM *ram);
ZOR_API ZorVersion *_GetDllVersion(ZorVersion *record);
/* Library-owned texts, valid until the next call. */
ZOR_API const char *_GetVerStr(void);
ZOR_API const char *_GetCurrentFileVerStr(void);

/* Description files: DBC for CAN, LDF for LIN. An import adds one network to
 * ram (networkName null or empty: the name the file gives, else the file's
 * base name; speed 0: the file's own); an export writes one network
 * (networkName null or empty: the only network of the format's kind). Each
 * returns true on failure: the error sink has the reason, with file, line and
 * column, and the database or the existing file is left as it was. Warnings
 * (what the configuration cannot hold) go to the warning sink. */
ZOR_API bool _ImportDBC(TZOR_RAM *ram, const char *fileName, const char *networkName, int32_t speed);
ZOR_API bool _ExportDBC(TZOR_RAM *ram, const char *fileName, const char *networkName);
ZOR_API bool _ImportLDF(TZOR_RAM *ram, const char *fileName, const char *networkName);
ZOR_API bool _ExportLDF(TZOR_RAM *ram, const char *fileName, const char *networkName);

/* Item factories: a new item appended to its database list, or null for a null database. */
ZOR_API ZOR_CLASS(TMOSTFBlock) *_New_TZOR_MOSTFBlock(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFBlockInstance) *_New_TZOR_MOSTFBlockInstance(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFkt) *_New_TZOR_MOSTFkt(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktParam) *_New_TZOR_MOSTFktParam(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTParamOPType) *_New_TZOR_MOSTParamOPType(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktInterface) *_New_TZOR_MOSTFktInterface(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIfField) *_New_TZOR_MOSTFktIfField(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIf_Enumeration) *_New_TZOR_MOSTFktIf_Enumeration(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIf_Number) *_New_TZOR_MOSTFktIf_Number(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIf_BitField) *_New_TZOR_MOSTFktIf_BitField(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTBitDesc) *_New_TZOR_MOSTBitDesc(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIf_String) *_New_TZOR_MOSTFktIf_String(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIf_Record) *_New_TZOR_MOSTFktIf_Record(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIf_RecordField) *_New_TZOR_MOSTFktIf_RecordField(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIf_Array) *_New_TZOR_MOSTFktIf_Array(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIf_Stream) *_New_TZOR_MOSTFktIf_Stream(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TMOSTFktIf_StreamCase) *_New_TZOR_MOSTFktIf_StreamCase(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TNetwork) *_New_TZOR_Network(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TNetMode) *_New_TZOR_NetMode(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TSchEntry) *_New_TZOR_SchEntry(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TNetFrame) *_New_TZOR_NetFrame(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TFrameHolder) *_New_TZOR_FrameHolder(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TNetSig) *_New_TZOR_NetSig(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TTxFrameTiming) *_New_TZOR_TxFrameTiming(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TNode) *_New_TZOR_Node(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TGateway) *_New_TZOR_Gateway(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TIfc) *_New_TZOR_Ifc(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TFrameMsgId) *_New_TZOR_FrameMsgId(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TIfcMode) *_New_TZOR_IfcMode(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TCtrl) *_New_TZOR_Ctrl(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TPubSig) *_New_TZOR_PubSig(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TSubSig) *_New_TZOR_SubSig(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TFrameGateway) *_New_TZOR_FrameGateway(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TSignal) *_New_TZOR_Signal(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TEncType) *_New_TZOR_EncType(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TEncode) *_New_TZOR_Encode(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TEnvGroup) *_New_TZOR_EnvGroup(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TEnvInt) *_New_TZOR_EnvInt(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TEnvFloat) *_New_TZOR_EnvFloat(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TEnvStr) *_New_TZOR_EnvStr(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TEnvData) *_New_TZOR_EnvData(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TSigGrp) *_New_TZOR_SigGrp(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TSigGrpLIN) *_New_TZOR_SigGrpLIN(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TCDBAttribute) *_New_TZOR_Attribute(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TCDBAttributeDef) *_New_TZOR_AttributeDef(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TSignal) *_New_TZOR_UnUseSignal(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TComposite) *_New_TZOR_Composite(TZOR_RAM *ram);
ZOR_API ZOR_CLASS(TConfiguration) *_New_TZOR_Configuration(TZOR_RAM *ram);

#ifdef __cplusplus
} /* extern "C" */
#endif
#undef ZOR_CLASS
#if defined(_WIN32)
#undef ZOR_API
#define ZOR_API ZOR_IMPORT
#endif

#endif /* ZOR_ZOR_H */
