// The ADO module: the "ADODB" type library with its classes and the ad... constants, and the
// creatable classes. Pages create them by ProgID ("ADODB.Connection", also "ADODB.Connection.6.0").
#include <new>

#include "platform/ado/ado_identifiers.h"
#include "platform/ado/command.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/ado/stream.h"
#include "platform/com/class_factory.h"

namespace {

constexpr TypeLibraryClass kClassTable[] = {
    {u"Connection", kConnectionClassId, u"_Connection", kConnectionInterfaceId, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Apartment, u"", u"ADODB.Connection.6.0"},
    {u"Recordset", kRecordsetClassId, u"_Recordset", kRecordsetInterfaceId, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Apartment, u"", u"ADODB.Recordset.6.0"},
    {u"Command", kCommandClassId, u"_Command", kCommandInterfaceId, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Apartment, u"", u"ADODB.Command.6.0"},
    {u"Parameter", kParameterClassId, u"_Parameter", kParameterInterfaceId, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Apartment, u"", u"ADODB.Parameter.6.0"},
    {u"Stream", kStreamClassId, u"_Stream", kStreamInterfaceId, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Apartment, u"", u"ADODB.Stream.6.0"},
};

#define ENUMERATION(name) constexpr TypeLibraryConstant name[] =
ENUMERATION(kCursorTypes) {{u"adOpenUnspecified", -1}, {u"adOpenForwardOnly", 0},
                           {u"adOpenKeyset", 1}, {u"adOpenDynamic", 2}, {u"adOpenStatic", 3}};
ENUMERATION(kLockTypes) {{u"adLockUnspecified", -1}, {u"adLockReadOnly", 1},
                         {u"adLockPessimistic", 2}, {u"adLockOptimistic", 3},
                         {u"adLockBatchOptimistic", 4}};
ENUMERATION(kCommandTypes) {{u"adCmdUnspecified", -1}, {u"adCmdUnknown", 8}, {u"adCmdText", 1},
                            {u"adCmdTable", 2}, {u"adCmdStoredProc", 4}, {u"adCmdFile", 256},
                            {u"adCmdTableDirect", 512}};
ENUMERATION(kExecuteOptions) {{u"adOptionUnspecified", -1}, {u"adAsyncExecute", 0x10},
                              {u"adAsyncFetch", 0x20}, {u"adAsyncFetchNonBlocking", 0x40},
                              {u"adExecuteNoRecords", 0x80}, {u"adExecuteStream", 0x400}};
ENUMERATION(kDataTypes) {
    {u"adEmpty", 0}, {u"adTinyInt", 16}, {u"adSmallInt", 2}, {u"adInteger", 3},
    {u"adBigInt", 20}, {u"adUnsignedTinyInt", 17}, {u"adUnsignedSmallInt", 18},
    {u"adUnsignedInt", 19}, {u"adUnsignedBigInt", 21}, {u"adSingle", 4}, {u"adDouble", 5},
    {u"adCurrency", 6}, {u"adDecimal", 14}, {u"adNumeric", 131}, {u"adBoolean", 11},
    {u"adError", 10}, {u"adUserDefined", 132}, {u"adVariant", 12}, {u"adIDispatch", 9},
    {u"adIUnknown", 13}, {u"adGUID", 72}, {u"adDate", 7}, {u"adDBDate", 133},
    {u"adDBTime", 134}, {u"adDBTimeStamp", 135}, {u"adBSTR", 8}, {u"adChar", 129},
    {u"adVarChar", 200}, {u"adLongVarChar", 201}, {u"adWChar", 130}, {u"adVarWChar", 202},
    {u"adLongVarWChar", 203}, {u"adBinary", 128}, {u"adVarBinary", 204},
    {u"adLongVarBinary", 205}, {u"adChapter", 136}, {u"adFileTime", 64},
    {u"adPropVariant", 138}, {u"adVarNumeric", 139}, {u"adArray", 0x2000}};
ENUMERATION(kParameterDirections) {{u"adParamUnknown", 0}, {u"adParamInput", 1},
                                   {u"adParamOutput", 2}, {u"adParamInputOutput", 3},
                                   {u"adParamReturnValue", 4}};
ENUMERATION(kObjectStates) {{u"adStateClosed", 0}, {u"adStateOpen", 1},
                            {u"adStateConnecting", 2}, {u"adStateExecuting", 4},
                            {u"adStateFetching", 8}};
ENUMERATION(kCursorLocations) {{u"adUseNone", 1}, {u"adUseServer", 2}, {u"adUseClient", 3},
                               {u"adUseClientBatch", 3}};
ENUMERATION(kGetRowsOptions) {{u"adGetRowsRest", -1}};
ENUMERATION(kBookmarks) {{u"adBookmarkCurrent", 0}, {u"adBookmarkFirst", 1},
                         {u"adBookmarkLast", 2}};
ENUMERATION(kPositions) {{u"adPosUnknown", -1}, {u"adPosBOF", -2}, {u"adPosEOF", -3}};
ENUMERATION(kEditModes) {{u"adEditNone", 0}, {u"adEditInProgress", 1}, {u"adEditAdd", 2},
                         {u"adEditDelete", 4}};
ENUMERATION(kAffects) {{u"adAffectCurrent", 1}, {u"adAffectGroup", 2}, {u"adAffectAll", 3},
                       {u"adAffectAllChapters", 4}};
ENUMERATION(kCursorOptions) {
    {u"adHoldRecords", 0x100}, {u"adMovePrevious", 0x200}, {u"adAddNew", 0x1000400},
    {u"adDelete", 0x1000800}, {u"adUpdate", 0x1008000}, {u"adBookmark", 0x2000},
    {u"adApproxPosition", 0x4000}, {u"adUpdateBatch", 0x10000}, {u"adResync", 0x20000},
    {u"adNotify", 0x40000}, {u"adFind", 0x80000}, {u"adSeek", 0x400000}, {u"adIndex", 0x800000}};
ENUMERATION(kFieldAttributes) {
    {u"adFldUnspecified", -1}, {u"adFldMayDefer", 0x2}, {u"adFldUpdatable", 0x4},
    {u"adFldUnknownUpdatable", 0x8}, {u"adFldFixed", 0x10}, {u"adFldIsNullable", 0x20},
    {u"adFldMayBeNull", 0x40}, {u"adFldLong", 0x80}, {u"adFldRowID", 0x100},
    {u"adFldRowVersion", 0x200}, {u"adFldCacheDeferred", 0x1000}, {u"adFldIsChapter", 0x2000},
    {u"adFldNegativeScale", 0x4000}, {u"adFldKeyColumn", 0x8000}};
ENUMERATION(kStringFormats) {{u"adClipString", 2}};
ENUMERATION(kStreamTypes) {{u"adTypeBinary", 1}, {u"adTypeText", 2}};
ENUMERATION(kStreamReads) {{u"adReadAll", -1}, {u"adReadLine", -2}};
ENUMERATION(kStreamWrites) {{u"adWriteChar", 0}, {u"adWriteLine", 1}};
ENUMERATION(kSaveOptions) {{u"adSaveCreateNotExist", 1}, {u"adSaveCreateOverWrite", 2}};
ENUMERATION(kLineSeparators) {{u"adLF", 10}, {u"adCR", 13}, {u"adCRLF", -1}};
ENUMERATION(kConnectModes) {{u"adModeUnknown", 0}, {u"adModeRead", 1}, {u"adModeWrite", 2},
                            {u"adModeReadWrite", 3}, {u"adModeShareDenyRead", 4},
                            {u"adModeShareDenyWrite", 8}, {u"adModeShareExclusive", 0xC},
                            {u"adModeShareDenyNone", 0x10}, {u"adModeRecursive", 0x400000}};
ENUMERATION(kIsolationLevels) {{u"adXactUnspecified", -1}, {u"adXactChaos", 0x10},
                               {u"adXactReadUncommitted", 0x100}, {u"adXactBrowse", 0x100},
                               {u"adXactCursorStability", 0x1000},
                               {u"adXactReadCommitted", 0x1000},
                               {u"adXactRepeatableRead", 0x10000},
                               {u"adXactSerializable", 0x100000},
                               {u"adXactIsolated", 0x100000}};
ENUMERATION(kErrorValues) {
    {u"adErrInvalidArgument", 3001}, {u"adErrOpeningFile", 3002}, {u"adErrWriteFile", 3004},
    {u"adErrNoCurrentRecord", 3021}, {u"adErrIllegalOperation", 3219},
    {u"adErrInTransaction", 3246}, {u"adErrFeatureNotAvailable", 3251},
    {u"adErrItemNotFound", 3265}, {u"adErrObjectInCollection", 3367},
    {u"adErrObjectNotSet", 3420}, {u"adErrDataConversion", 3421},
    {u"adErrObjectClosed", 3704}, {u"adErrObjectOpen", 3705},
    {u"adErrProviderNotFound", 3706}, {u"adErrBoundToCommand", 3707},
    {u"adErrInvalidParamInfo", 3708}, {u"adErrInvalidConnection", 3709}};
ENUMERATION(kSearchDirections) {{u"adSearchForward", 1}, {u"adSearchBackward", -1}};
#undef ENUMERATION

constexpr TypeLibraryEnumeration kEnumerations[] = {
    {u"CursorTypeEnum", kCursorTypes},         {u"LockTypeEnum", kLockTypes},
    {u"CommandTypeEnum", kCommandTypes},       {u"ExecuteOptionEnum", kExecuteOptions},
    {u"DataTypeEnum", kDataTypes},             {u"ParameterDirectionEnum", kParameterDirections},
    {u"ObjectStateEnum", kObjectStates},       {u"CursorLocationEnum", kCursorLocations},
    {u"GetRowsOptionEnum", kGetRowsOptions},   {u"BookmarkEnum", kBookmarks},
    {u"PositionEnum", kPositions},             {u"EditModeEnum", kEditModes},
    {u"AffectEnum", kAffects},                 {u"CursorOptionEnum", kCursorOptions},
    {u"FieldAttributeEnum", kFieldAttributes}, {u"StringFormatEnum", kStringFormats},
    {u"StreamTypeEnum", kStreamTypes},         {u"StreamReadEnum", kStreamReads},
    {u"StreamWriteEnum", kStreamWrites},       {u"SaveOptionsEnum", kSaveOptions},
    {u"LineSeparatorEnum", kLineSeparators},   {u"ConnectModeEnum", kConnectModes},
    {u"IsolationLevelEnum", kIsolationLevels}, {u"ErrorValueEnum", kErrorValues},
    {u"SearchDirectionEnum", kSearchDirections},
};

constexpr TypeLibrary kLibrary{u"ADODB", kAdoLibraryId, 2, 5, 0,
                               u"Data objects over ODBC", kClassTable, kEnumerations};

// Class factories must not throw: running out of memory is a null object.
template <class T>
IUnknown* Create() {
  try {
    return static_cast<IDispatch*>(new T());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

constexpr ModuleClass kClasses[] = {
    {&kConnectionClassId, &Create<Connection>}, {&kRecordsetClassId, &Create<Recordset>},
    {&kCommandClassId, &Create<Command>},       {&kParameterClassId, &Create<Parameter>},
    {&kStreamClassId, &Create<Stream>},
};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
