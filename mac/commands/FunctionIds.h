// The function IDs of the command table, named after their first command,
// for the code that runs particular commands or treats them specially.
#pragma once

#include <cstdint>

namespace kw::fid {

inline constexpr int32_t kCreateMenu = 100;
inline constexpr int32_t kDeleteMenu = 101;
inline constexpr int32_t kAddMenuToMenuBar = 102;
inline constexpr int32_t kAddWebLinkToMenu = 103;
inline constexpr int32_t kAddZOrderMenuItems = 104;
inline constexpr int32_t kAddItem = 105;
inline constexpr int32_t kRemoveItem = 106;
inline constexpr int32_t kAddSeparator = 107;
inline constexpr int32_t kCheckItem = 108;
inline constexpr int32_t kRemoveAllItems = 109;
inline constexpr int32_t kOnCommand = 110;
inline constexpr int32_t kSetMenuItemEnabled = 111;

inline constexpr int32_t kExecuteApplication = 200;
inline constexpr int32_t kOpenDocument = 201;
inline constexpr int32_t kRunAppleScript = 202;
inline constexpr int32_t kRunAppleScriptFile = 203;
inline constexpr int32_t kChooseColor = 204;
inline constexpr int32_t kSetStartAtLogin = 205;
inline constexpr int32_t kGetStartAtLogin = 206;
inline constexpr int32_t kIsApplicationRunning = 207;
inline constexpr int32_t kSetActiveScreenSaver = 208;
inline constexpr int32_t kSetActiveWallpaper = 209;
inline constexpr int32_t kGetSpecialFolder = 210;
inline constexpr int32_t kGetScreenSize = 212;
inline constexpr int32_t kListMonitors = 213;
inline constexpr int32_t kGetHomeDirectory = 214;
inline constexpr int32_t kGetUserName = 215;
inline constexpr int32_t kGetComputerName = 216;
inline constexpr int32_t kGetUserGUID = 217;
inline constexpr int32_t kGetHostAddress = 218;
inline constexpr int32_t kSendMail = 219;
inline constexpr int32_t kIsMailAvailable = 220;
inline constexpr int32_t kGetDesktopFolder = 221;
inline constexpr int32_t kGetProgramsFolder = 222;
inline constexpr int32_t kGetWindows = 223;
inline constexpr int32_t kGetWindowRect = 224;
inline constexpr int32_t kSetScreenResolutionTo800x600 = 225;
inline constexpr int32_t kSetScreenResolutionTo640x480 = 226;
inline constexpr int32_t kResetScreenResolution = 227;
inline constexpr int32_t kGetMyPath = 228;
inline constexpr int32_t kDeleteSelf = 229;
inline constexpr int32_t kIsScreenSaverRunning = 231;
inline constexpr int32_t kOpenScreenSaverControlPanel = 232;

inline constexpr int32_t kMinimize = 300;
inline constexpr int32_t kRestore = 301;
inline constexpr int32_t kSetBackgroundColor = 302;
inline constexpr int32_t kSetMaskRectangle = 303;
inline constexpr int32_t kClose = 304;
inline constexpr int32_t kBringToForeground = 305;
inline constexpr int32_t kGetParameter = 306;
inline constexpr int32_t kSetPosition = 307;
inline constexpr int32_t kGetPosition = 308;
inline constexpr int32_t kSetSize = 309;
inline constexpr int32_t kGetSize = 310;
inline constexpr int32_t kSetTitle = 311;
inline constexpr int32_t kSetZOrder = 312;
inline constexpr int32_t kShow = 313;
inline constexpr int32_t kStartDrag = 314;
inline constexpr int32_t kStopDrag = 315;
inline constexpr int32_t kSetShape = 317;
inline constexpr int32_t kSetAlpha = 318;
inline constexpr int32_t kSetFlashSize = 319;
inline constexpr int32_t kSetFrameRate = 320;
inline constexpr int32_t kEmbedMediaWindow = 321;
inline constexpr int32_t kLoadMedia = 322;

inline constexpr int32_t kCheckNetConnection = 400;
inline constexpr int32_t kDownloadFile = 401;
inline constexpr int32_t kQuit = 402;
inline constexpr int32_t kCaptureScreenToJPG = 403;
inline constexpr int32_t kGetFolder = 404;
inline constexpr int32_t kRevealInFinder = 405;
inline constexpr int32_t kGetPathToBundledApplication = 406;
inline constexpr int32_t kGetPathToBundledFile = 407;
inline constexpr int32_t kTrace = 408;
inline constexpr int32_t kBounceDockIcon = 409;
inline constexpr int32_t kSetDockIconBadge = 410;
inline constexpr int32_t kShowMouse = 411;
inline constexpr int32_t kGetWorkingDirectory = 412;
inline constexpr int32_t kMessageDialog = 413;
inline constexpr int32_t kGetMousePosition = 414;
inline constexpr int32_t kGetVersion = 415;
inline constexpr int32_t kCreateWindow = 416;
inline constexpr int32_t kGetWindow = 417;
inline constexpr int32_t kEnableCaching = 418;
inline constexpr int32_t kCreateMediaWindow = 419;
inline constexpr int32_t kAbortFunction = 420;
inline constexpr int32_t kGetArguments = 421;

inline constexpr int32_t kCopyFile = 500;
inline constexpr int32_t kCopyFolder = 501;
inline constexpr int32_t kCreateFolder = 502;
inline constexpr int32_t kCreateShortcut = 503;
inline constexpr int32_t kDeleteFile = 504;
inline constexpr int32_t kDeleteFolder = 505;
inline constexpr int32_t kRenameFile = 506;
inline constexpr int32_t kChooseFile = 508;
inline constexpr int32_t kChooseFolder = 509;
inline constexpr int32_t kWriteString = 510;
inline constexpr int32_t kReadString = 511;
inline constexpr int32_t kAppendString = 512;
inline constexpr int32_t kFileExists = 513;
inline constexpr int32_t kListFiles = 514;
inline constexpr int32_t kListFolders = 515;
inline constexpr int32_t kChooseFiles = 516;
inline constexpr int32_t kIsFolder = 517;
inline constexpr int32_t kFlashPathToPosixPath = 518;
inline constexpr int32_t kGetFlashHeader = 519;
inline constexpr int32_t kGetFileAttributes = 520;

inline constexpr int32_t kSimpleGet = 600;
inline constexpr int32_t kSimplePut = 601;

inline constexpr int32_t kGetMonitorNumber = 700;
inline constexpr int32_t kGetPlayMode = 702;

}  // namespace kw::fid
