// The handheld device: the system operations the game calls, under their
// handheld names, types, message numbers and flag values. Everything lives in
// namespace ce; nothing here includes SDL. Strings are UTF-16 (char16_t).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The C library's RAND_MAX macro would turn ce::RAND_MAX below into a number.
#undef RAND_MAX

namespace ce {

// ---- basic types -----------------------------------------------------------
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using ATOM = std::uint16_t;
using WCHAR = char16_t;
using LPCWSTR = const char16_t*;
using LPWSTR = char16_t*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using UINT_PTR = std::uintptr_t;
using COLORREF = std::uint32_t;  // 0x00BBGGRR
using MMRESULT = UINT;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct Window;
struct DeviceContext;
struct GdiObject;
struct Module;
struct RegKey;
struct WaveDevice;
struct ResourceInfo;
struct AccelTable;

using HWND = Window*;
using HDC = DeviceContext*;
using HGDIOBJ = GdiObject*;
using HBITMAP = GdiObject*;
using HFONT = GdiObject*;
using HBRUSH = GdiObject*;
using HPEN = GdiObject*;
using HICON = GdiObject*;
using HCURSOR = GdiObject*;
using HINSTANCE = Module*;
using HMODULE = Module*;
using HMENU = std::intptr_t;  // for child windows: the control id
using HKEY = RegKey*;
using HWAVEOUT = WaveDevice*;
using HRSRC = const ResourceInfo*;
using HGLOBAL = const void*;
using HACCEL = AccelTable*;

struct POINT {
  LONG x;
  LONG y;
};
struct SIZE {
  LONG cx;
  LONG cy;
};
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

constexpr COLORREF RGB(int r, int g, int b) {
  return COLORREF(r & 255) | (COLORREF(g & 255) << 8) | (COLORREF(b & 255) << 16);
}
constexpr int GetRValue(COLORREF c) { return int(c & 255); }
constexpr int GetGValue(COLORREF c) { return int((c >> 8) & 255); }
constexpr int GetBValue(COLORREF c) { return int((c >> 16) & 255); }
constexpr WORD LOWORD(std::uintptr_t v) { return WORD(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return WORD((v >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return LPARAM(DWORD(WORD(lo)) | (DWORD(WORD(hi)) << 16));
}

// Resource names are numbers smuggled through a string pointer, as on the
// handheld; a real string names a resource type such as u"WAVE".
inline LPCWSTR MAKEINTRESOURCEW(int id) {
  return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(WORD(id)));
}
inline bool IS_INTRESOURCE(LPCWSTR p) {
  return (reinterpret_cast<std::uintptr_t>(p) >> 16) == 0;
}
inline LPCWSTR const RT_ICON = MAKEINTRESOURCEW(3);
inline LPCWSTR const RT_BITMAP = MAKEINTRESOURCEW(2);
inline LPCWSTR const RT_ACCELERATOR = MAKEINTRESOURCEW(9);
inline LPCWSTR const RT_RCDATA = MAKEINTRESOURCEW(10);

// ---- windows and messages ---------------------------------------------------
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};

struct SHACTIVATEINFO {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp;
  UINT fSipOnDeactivation;
  UINT fActive;
  UINT fReserved;
};

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SETTINGCHANGE = 0x001A;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_USER = 0x0400;
// LOWORD(wParam) of WM_ACTIVATE.
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;

constexpr UINT BN_CLICKED = 0;
constexpr UINT EM_LIMITTEXT = 0x00C5;
constexpr UINT EM_SETSEL = 0x00B1;

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CHILD = 0x40000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_DISABLED = 0x08000000u;
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD WS_TABSTOP = 0x00010000u;
constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD ES_LEFT = 0x0000;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FNOINVERT = 0x02;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;

constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_F11 = 0x7A;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
constexpr DWORD SHFS_SHOWSTARTICON = 0x0010;
constexpr DWORD SHFS_HIDESTARTICON = 0x0020;

ATOM RegisterClassW(const WNDCLASSW* wc);
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance,
                     void* param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmdShow);
BOOL UpdateWindow(HWND hwnd);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);
HWND FindWindowW(LPCWSTR className, LPCWSTR title);
BOOL SetForegroundWindow(HWND hwnd);  // the handheld accepts the handle with bit 0 set
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hwnd);
HWND GetDlgItem(HWND parent, int id);
int GetDlgCtrlID(HWND hwnd);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageW(HWND parent, int id, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
int TranslateAcceleratorW(HWND hwnd, HACCEL accel, MSG* msg);

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);  // rect null: whole window
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
HDC GetDC(HWND hwnd);  // null: the whole screen
int ReleaseDC(HWND hwnd, HDC hdc);

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, void* timerProc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

int GetSystemMetrics(int index);
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
int GetDeviceCaps(HDC hdc, int index);

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

HMODULE GetModuleHandleW(LPCWSTR name);  // null: this program
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
BOOL DestroyIcon(HICON icon);

// Pocket PC shell
BOOL SHFullScreen(HWND hwnd, DWORD state);
BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* sai, DWORD flags);
BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* sai);

// ---- drawing ----------------------------------------------------------------
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;

constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;

constexpr DWORD SRCCOPY = 0x00CC0020u;

constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_HEAVY = 900;

struct LOGFONTW {
  LONG lfHeight;  // > 0: cell height in pixels; < 0: character (em) height
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[32];
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};

HDC CreateCompatibleDC(HDC reference);  // null reference: the screen
BOOL DeleteDC(HDC hdc);
HBITMAP CreateCompatibleBitmap(HDC reference, int width, int height);
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
int GetObjectW(HGDIOBJ object, int size, void* out);  // BITMAP of a bitmap
HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
HFONT CreateFontIndirectW(const LOGFONTW* lf);

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw,
                int sh, DWORD rop);
// Copies without the pixels of the key colour (the handheld's TransparentImage).
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw,
                    int sh, COLORREF key);
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int ellipseW, int ellipseH);
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
BOOL LineTo(HDC hdc, int x, int y);
BOOL Polyline(HDC hdc, const POINT* points, int count);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF SetBkColor(HDC hdc, COLORREF color);
int SetBkMode(HDC hdc, int mode);
// count -1: zero-terminated. Returns the height of the drawn text.
int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size);

// ---- registry -----------------------------------------------------------------
using REGSAM = DWORD;
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_DISK_FULL = 112;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_BINARY = 3;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003Fu;
constexpr REGSAM KEY_READ = 0x00020019u;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
extern HKEY const HKEY_CURRENT_USER;

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                     REGSAM access, void* security, HKEY* result, DWORD* disposition);
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* result);
// A missing value leaves the buffer untouched. A buffer too small: ERROR_MORE_DATA, untouched.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
// Atomic: the old value stays whole if the write fails part way.
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
LONG RegCloseKey(HKEY key);

// ---- resources ------------------------------------------------------------------
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL resource);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// ---- wave output ----------------------------------------------------------------
constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;
constexpr DWORD CALLBACK_NULL = 0x00000000;
constexpr DWORD CALLBACK_FUNCTION = 0x00030000;
constexpr UINT WOM_OPEN = 0x3BB;
constexpr UINT WOM_CLOSE = 0x3BC;
constexpr UINT WOM_DONE = 0x3BD;
constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;
constexpr DWORD WHDR_DONE = 0x01;
constexpr DWORD WHDR_PREPARED = 0x02;
constexpr DWORD WHDR_INQUEUE = 0x10;

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};

struct WAVEHDR {
  char* lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
};

// Called on the audio thread: (device, message, instance, param1, param2).
using WaveOutProc = void (*)(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

MMRESULT waveOutOpen(HWAVEOUT* result, UINT deviceId, const WAVEFORMATEX* format,
                     DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT headerSize);
MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT headerSize);
MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT headerSize);
MMRESULT waveOutReset(HWAVEOUT device);
MMRESULT waveOutClose(HWAVEOUT device);
// device may be a handle or a device number cast to a handle (0: the output).
// Low word: left channel 0..0xFFFF, high word: right channel.
MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume);
MMRESULT waveOutGetVolume(HWAVEOUT device, DWORD* volume);

// ---- runtime library ------------------------------------------------------------
constexpr int RAND_MAX = 0x7FFF;
int rand();                 // the handheld runtime's generator: 15-bit values
void srand(unsigned seed);  // seed x 214013 + 2531011, bits 16..30
DWORD GetTickCount();       // milliseconds since start (virtual in scripted runs)
void Sleep(DWORD ms);
// The text as it stands (no line break added) on the device's log: stderr here.
void OutputDebugStringW(LPCWSTR text);

}  // namespace ce
