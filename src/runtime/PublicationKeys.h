#pragma once
// The key table of the publication text. Every key the reader knows, with its
// value type and the group that decides where its value goes. Key names are
// kept in upper case with their "=" (markers have none); lines match them
// without regard to letter case.
#include <cstdint>
#include <string_view>

namespace vl {

enum class TKeyType : uint8_t {
  Marker,   // a bare word, no value
  Text,     // the value as it stands
  Integer,  // see ReadPublicationInteger
  Colour,   // read like an integer, a TColor
  YesNo,    // true exactly for "Yes" in any case
  Action,   // text in which every "\xB6" becomes CR LF
};

enum class TKeyGroup : uint8_t { Setting, Language, Page, Menu, Object, NoEffect };

// ENTRY(Id, "NAME", type, group). The order of the language keys is the order
// of the language strings.
#define VL_PUBLICATION_KEYS(ENTRY)                                \
  /* settings */                                                  \
  ENTRY(Title, "TITLE=", Text, Setting)                           \
  ENTRY(Author, "AUTHOR=", Text, Setting)                         \
  ENTRY(PubVersion, "PUBVERSION=", Text, Setting)                 \
  ENTRY(ScreenWidth, "SCREENWIDTH=", Integer, Setting)            \
  ENTRY(ScreenHeight, "SCREENHEIGHT=", Integer, Setting)          \
  ENTRY(ScreenColors, "SCREENCOLORS=", Integer, Setting)          \
  ENTRY(ScreenAutoSize, "SCREENAUTOSIZE=", YesNo, Setting)        \
  ENTRY(MinPubWidth, "MINPUBWIDTH=", Integer, Setting)            \
  ENTRY(MinPubHeight, "MINPUBHEIGHT=", Integer, Setting)          \
  ENTRY(WindowStyle, "WINDOWSTYLE=", Integer, Setting)            \
  ENTRY(WindowOrder, "WINDOWORDER=", Integer, Setting)            \
  ENTRY(WindowPos, "WINDOWPOS=", Integer, Setting)                \
  ENTRY(WindowProps, "WINDOWPROPS=", Integer, Setting)            \
  ENTRY(WindowRegKey, "WINDOWREGKEY=", Text, Setting)             \
  ENTRY(BkndColor, "BKNDCOLOR=", Colour, Setting)                 \
  ENTRY(ShapeFile, "SHAPEFILE=", Text, Setting)                   \
  ENTRY(ShapeTransColor, "SHAPETRANSCOLOR=", Colour, Setting)     \
  ENTRY(BiDiMode, "BIDIMODE=", Integer, Setting)                  \
  ENTRY(AllowEsc, "ALLOWESC=", YesNo, Setting)                    \
  ENTRY(AllowPageUpDn, "ALLOWPAGEUPDN=", YesNo, Setting)          \
  ENTRY(MouseExit, "MOUSEEXIT=", YesNo, Setting)                  \
  ENTRY(NoCtrlAltDel, "NOCTRLALTDEL=", YesNo, Setting)            \
  ENTRY(NoPrintScrn, "NOPRINTSCRN=", YesNo, Setting)              \
  ENTRY(StartPassword, "STARTPASSWORD=", Text, Setting)           \
  ENTRY(ExitPassword, "EXITPASSWORD=", Text, Setting)             \
  ENTRY(StartupAction, "STARTUPACTION=", Action, Setting)         \
  ENTRY(ShutdownAction, "SHUTDOWNACTION=", Action, Setting)       \
  ENTRY(ActivateAction, "ACTIVATEACTION=", Action, Setting)       \
  ENTRY(DeactivateAction, "DEACTIVATEACTION=", Action, Setting)   \
  ENTRY(PageChangeAction, "PAGECHANGEACTION=", Action, Setting)   \
  ENTRY(SubroutineAction, "SUBROUTINEACTION=", Action, Setting)   \
  ENTRY(AutoReturn, "AUTORETURN=", YesNo, Setting)                \
  ENTRY(ReturnTime, "RETURNTIME=", Integer, Setting)              \
  ENTRY(ReturnAction, "RETURNACTION=", Action, Setting)           \
  ENTRY(UseUpdateTimer, "USEUPDATETIMER=", YesNo, Setting)        \
  ENTRY(ShowErrors, "SHOWERRORS=", YesNo, Setting)                \
  ENTRY(ShowMarquee, "SHOWMARQUEE=", YesNo, Setting)              \
  ENTRY(BypassPrintDlg, "BYPASSPRINTDLG=", YesNo, Setting)        \
  ENTRY(CustomFontName, "CUSTOMFONTNAME=", Text, Setting)         \
  ENTRY(CustomFontSize, "CUSTOMFONTSIZE=", Integer, Setting)      \
  ENTRY(CustomFontStyle, "CUSTOMFONTSTYLE=", Integer, Setting)    \
  ENTRY(CustomCharset, "CUSTOMCHARSET=", Integer, Setting)        \
  ENTRY(LinkColor, "LINKCOLOR=", Colour, Setting)                 \
  ENTRY(AlertBoxImage, "ALERTBOXIMAGE=", Text, Setting)           \
  ENTRY(MsgBoxImage, "MSGBOXIMAGE=", Text, Setting)               \
  ENTRY(ExitBoxImage, "EXITBOXIMAGE=", Text, Setting)             \
  ENTRY(AppCursor, "APPCURSOR=", Text, Setting)                   \
  ENTRY(HotspotCursor, "HOTSPOTCURSOR=", Text, Setting)           \
  ENTRY(DragCursor, "DRAGCURSOR=", Text, Setting)                 \
  ENTRY(BusyCursor, "BUSYCURSOR=", Text, Setting)                 \
  ENTRY(HelpFile, "HELPFILE=", Text, Setting)                     \
  ENTRY(ExtractOp, "EXTRACTOP=", Integer, Setting)                \
  ENTRY(ExtractDir, "EXTRACTDIR=", Text, Setting)                 \
  ENTRY(CacheSize, "CACHESIZE=", Integer, Setting)                \
  ENTRY(EmbeddedFiles, "EMBEDDEDFILES=", Text, Setting)           \
  /* recognised, used by the publishing tool only */              \
  ENTRY(Icon, "ICON=", Text, NoEffect)                            \
  ENTRY(VellionVer, "VELLIONVER=", Text, NoEffect)                \
  ENTRY(Pal, "PAL=", Text, NoEffect)                              \
  ENTRY(SsPreview, "SSPREVIEW=", Text, NoEffect)                  \
  ENTRY(SplashScreen, "SPLASHSCREEN=", Text, NoEffect)            \
  /* language strings, in their table order */                    \
  ENTRY(L_Ok, "L_OK=", Text, Language)                            \
  ENTRY(L_Cancel, "L_CANCEL=", Text, Language)                    \
  ENTRY(L_Yes, "L_YES=", Text, Language)                          \
  ENTRY(L_No, "L_NO=", Text, Language)                            \
  ENTRY(L_Close, "L_CLOSE=", Text, Language)                      \
  ENTRY(L_ErrorTitle, "L_ERRORTITLE=", Text, Language)            \
  ENTRY(L_FindTitle, "L_FINDTITLE=", Text, Language)              \
  ENTRY(L_FindPrompt, "L_FINDPROMPT=", Text, Language)            \
  ENTRY(L_FindFirst, "L_FINDFIRST=", Text, Language)              \
  ENTRY(L_FindNext, "L_FINDNEXT=", Text, Language)                \
  ENTRY(L_FindError, "L_FINDERROR=", Text, Language)              \
  ENTRY(L_PwordTitle, "L_PWORDTITLE=", Text, Language)            \
  ENTRY(L_PwordMsg, "L_PWORDMSG=", Text, Language)                \
  ENTRY(L_PwordPrompt, "L_PWORDPROMPT=", Text, Language)          \
  ENTRY(L_PwordError, "L_PWORDERROR=", Text, Language)            \
  ENTRY(L_MediaError, "L_MEDIAERROR=", Text, Language)            \
  ENTRY(L_InternetError, "L_INTERNETERROR=", Text, Language)      \
  ENTRY(L_AbortFunction, "L_ABORTFUNCTION=", Text, Language)      \
  ENTRY(L_ExtractError, "L_EXTRACTERROR=", Text, Language)        \
  ENTRY(L_InstDirPrompt, "L_INSTDIRPROMPT=", Text, Language)      \
  ENTRY(L_InstFolderPrompt, "L_INSTFOLDERPROMPT=", Text, Language)\
  ENTRY(L_InstRunPrompt, "L_INSTRUNPROMPT=", Text, Language)      \
  ENTRY(L_InstDiskPrompt, "L_INSTDISKPROMPT=", Text, Language)    \
  ENTRY(L_InstDiskError, "L_INSTDISKERROR=", Text, Language)      \
  ENTRY(L_InstGenError, "L_INSTGENERROR=", Text, Language)        \
  ENTRY(L_InstExitPrompt, "L_INSTEXITPROMPT=", Text, Language)    \
  ENTRY(L_InstWinTitle, "L_INSTWINTITLE=", Text, Language)        \
  ENTRY(L_InstProgTitle, "L_INSTPROGTITLE=", Text, Language)      \
  ENTRY(L_InstSubTitle, "L_INSTSUBTITLE=", Text, Language)        \
  ENTRY(L_SendEmail, "L_SENDEMAIL=", Text, Language)              \
  ENTRY(L_MailServer, "L_MAILSERVER=", Text, Language)            \
  ENTRY(L_Copy, "L_COPY=", Text, Language)                        \
  ENTRY(L_SelectAll, "L_SELECTALL=", Text, Language)              \
  ENTRY(L_DonwloadFile, "L_DONWLOADFILE=", Text, Language)        \
  ENTRY(L_PleaseWait, "L_PLEASEWAIT=", Text, Language)            \
  /* pages */                                                     \
  ENTRY(MasterPage, "MASTERPAGE", Marker, Page)                   \
  ENTRY(NewPage, "NEWPAGE=", Text, Page)                          \
  ENTRY(ShowMasterPage, "SHOWMASTERPAGE=", YesNo, Page)           \
  ENTRY(PageStyle, "PAGESTYLE=", Integer, Page)                   \
  ENTRY(PageColor, "PAGECOLOR=", Colour, Page)                    \
  ENTRY(PageGradient1, "PAGEGRADIENT1=", Colour, Page)            \
  ENTRY(PageGradient2, "PAGEGRADIENT2=", Colour, Page)            \
  ENTRY(PageGradientDir, "PAGEGRADIENTDIR=", Integer, Page)       \
  ENTRY(PageWallpaper, "PAGEWALLPAPER=", Text, Page)              \
  ENTRY(WallpaperStyle, "WALLPAPERSTYLE=", Integer, Page)         \
  ENTRY(PagePalette, "PAGEPALETTE=", Text, Page)                  \
  ENTRY(PageEffect, "PAGEEFFECT=", Text, Page)                    \
  ENTRY(EffectSpeed, "EFFECTSPEED=", Text, Page)                  \
  ENTRY(PgEnterAction, "PGENTERACTION=", Action, Page)            \
  ENTRY(PgExitAction, "PGEXITACTION=", Action, Page)              \
  /* menus */                                                     \
  ENTRY(MenuBegin, "MENUBEGIN", Marker, Menu)                     \
  ENTRY(TrayMenuBegin, "TRAYMENUBEGIN", Marker, Menu)             \
  ENTRY(MenuEnd, "MENUEND", Marker, Menu)                         \
  ENTRY(MenuName, "MENUNAME=", Text, Menu)                        \
  ENTRY(MenuText, "MENUTEXT=", Text, Menu)                        \
  ENTRY(MenuAction, "MENUACTION=", Action, Menu)                  \
  ENTRY(MenuState, "MENUSTATE=", Integer, Menu)                   \
  ENTRY(MenuKey, "MENUKEY=", Integer, Menu)                       \
  ENTRY(MenuVar, "MENUVAR=", Text, Menu)                          \
  ENTRY(MenuImage, "MENUIMAGE=", Text, Menu)                      \
  ENTRY(MenuImTransClr, "MENUIMTRANSCLR=", Colour, Menu)          \
  /* object records: nesting markers */                           \
  ENTRY(GroupBegin, "GROUPBEGIN", Marker, Object)                 \
  ENTRY(GroupEnd, "GROUPEND", Marker, Object)                     \
  ENTRY(ContainerBegin, "CONTAINERBEGIN", Marker, Object)         \
  ENTRY(ContainerEnd, "CONTAINEREND", Marker, Object)             \
  /* object records: integers */                                  \
  ENTRY(ObjectType, "OBJECTTYPE=", Integer, Object)               \
  ENTRY(X, "X=", Integer, Object)                                 \
  ENTRY(Y, "Y=", Integer, Object)                                 \
  ENTRY(W, "W=", Integer, Object)                                 \
  ENTRY(H, "H=", Integer, Object)                                 \
  ENTRY(LineColor, "LINECOLOR=", Integer, Object)                 \
  ENTRY(LineWidth, "LINEWIDTH=", Integer, Object)                 \
  ENTRY(LineStyle, "LINESTYLE=", Integer, Object)                 \
  ENTRY(FillColor, "FILLCOLOR=", Integer, Object)                 \
  ENTRY(FillPattern, "FILLPATTERN=", Integer, Object)             \
  ENTRY(TextColor, "TEXTCOLOR=", Integer, Object)                 \
  ENTRY(FontSize, "FONTSIZE=", Integer, Object)                   \
  ENTRY(FontStyle, "FONTSTYLE=", Integer, Object)                 \
  ENTRY(FontCharset, "FONTCHARSET=", Integer, Object)             \
  ENTRY(Anchor, "ANCHOR=", Integer, Object)                       \
  ENTRY(Key, "KEY=", Integer, Object)                             \
  ENTRY(Align, "ALIGN=", Integer, Object)                         \
  ENTRY(InitState, "INITSTATE=", Integer, Object)                 \
  ENTRY(TabOrder, "TABORDER=", Integer, Object)                   \
  ENTRY(DragMode, "DRAGMODE=", Integer, Object)                   \
  ENTRY(ImageStyle, "IMAGESTYLE=", Integer, Object)               \
  ENTRY(UpTransColor, "UPTRANSCOLOR=", Integer, Object)           \
  ENTRY(DownTransColor, "DOWNTRANSCOLOR=", Integer, Object)       \
  ENTRY(OverTransColor, "OVERTRANSCOLOR=", Integer, Object)       \
  ENTRY(BevelWidth, "BEVELWIDTH=", Integer, Object)               \
  ENTRY(Min, "MIN=", Integer, Object)                             \
  ENTRY(Max, "MAX=", Integer, Object)                             \
  ENTRY(ThumbSize, "THUMBSIZE=", Integer, Object)                 \
  ENTRY(TrackSize, "TRACKSIZE=", Integer, Object)                 \
  ENTRY(ThumbTransColor, "THUMBTRANSCOLOR=", Integer, Object)     \
  ENTRY(TrackTransColor, "TRACKTRANSCOLOR=", Integer, Object)     \
  ENTRY(ChangingAction, "CHANGINGACTION=", Integer, Object)       \
  ENTRY(VAlign, "VALIGN=", Integer, Object)                       \
  ENTRY(HMargin, "HMARGIN=", Integer, Object)                     \
  ENTRY(VMargin, "VMARGIN=", Integer, Object)                     \
  ENTRY(EditLen, "EDITLEN=", Integer, Object)                     \
  ENTRY(EditCase, "EDITCASE=", Integer, Object)                   \
  ENTRY(PictStyle, "PICTSTYLE=", Integer, Object)                 \
  ENTRY(PictTransColor, "PICTTRANSCOLOR=", Integer, Object)       \
  ENTRY(PictZoomFactor, "PICTZOOMFACTOR=", Integer, Object)       \
  ENTRY(OpacityEx, "OPACITYEX=", Integer, Object)                 \
  ENTRY(Interval, "INTERVAL=", Integer, Object)                   \
  ENTRY(VarType, "VARTYPE=", Integer, Object)                     \
  ENTRY(LinkPos, "LINKPOS=", Integer, Object)                     \
  ENTRY(X1, "X1=", Integer, Object)                               \
  ENTRY(Y1, "Y1=", Integer, Object)                               \
  ENTRY(X2, "X2=", Integer, Object)                               \
  ENTRY(Y2, "Y2=", Integer, Object)                               \
  ENTRY(EndCaps, "ENDCAPS=", Integer, Object)                     \
  ENTRY(LoopTimes, "LOOPTIMES=", Integer, Object)                 \
  /* object records: yes/no */                                    \
  ENTRY(Visible, "VISIBLE=", YesNo, Object)                       \
  ENTRY(FillMode, "FILLMODE=", YesNo, Object)                     \
  ENTRY(Enabled, "ENABLED=", YesNo, Object)                       \
  ENTRY(WordWrap, "WORDWRAP=", YesNo, Object)                     \
  ENTRY(AutoStart, "AUTOSTART=", YesNo, Object)                   \
  ENTRY(ScrollBar, "SCROLLBAR=", YesNo, Object)                   \
  ENTRY(OverlayText, "OVERLAYTEXT=", YesNo, Object)               \
  ENTRY(XpTheme, "XPTHEME=", YesNo, Object)                       \
  ENTRY(DepressEffect, "DEPRESSEFFECT=", YesNo, Object)           \
  ENTRY(EditMultiLine, "EDITMULTILINE=", YesNo, Object)           \
  ENTRY(EditScrollBar, "EDITSCROLLBAR=", YesNo, Object)           \
  ENTRY(EditPassword, "EDITPASSWORD=", YesNo, Object)             \
  ENTRY(EditNumber, "EDITNUMBER=", YesNo, Object)                 \
  ENTRY(PictMousePan, "PICTMOUSEPAN=", YesNo, Object)             \
  ENTRY(Centered, "CENTERED=", YesNo, Object)                     \
  ENTRY(Resample, "RESAMPLE=", YesNo, Object)                     \
  ENTRY(RunOnce, "RUNONCE=", YesNo, Object)                       \
  ENTRY(AutoStop, "AUTOSTOP=", YesNo, Object)                     \
  ENTRY(Sorted, "SORTED=", YesNo, Object)                         \
  ENTRY(MultiSelect, "MULTISELECT=", YesNo, Object)               \
  ENTRY(AllowCopy, "ALLOWCOPY=", YesNo, Object)                   \
  ENTRY(OverrideFont, "OVERRIDEFONT=", YesNo, Object)             \
  ENTRY(ContextMenu, "CONTEXTMENU=", YesNo, Object)               \
  ENTRY(SilentMode, "SILENTMODE=", YesNo, Object)                 \
  ENTRY(TrapPopups, "TRAPPOPUPS=", YesNo, Object)                 \
  ENTRY(ShowToolbar, "SHOWTOOLBAR=", YesNo, Object)               \
  ENTRY(ShowStatusBar, "SHOWSTATUSBAR=", YesNo, Object)           \
  ENTRY(EnhSecurity, "ENHSECURITY=", YesNo, Object)               \
  ENTRY(ShowControls, "SHOWCONTROLS=", YesNo, Object)             \
  ENTRY(LoopPlayback, "LOOPPLAYBACK=", YesNo, Object)             \
  ENTRY(AutoSize, "AUTOSIZE=", YesNo, Object)                     \
  ENTRY(AutoRewind, "AUTOREWIND=", YesNo, Object)                 \
  ENTRY(UseBkndColor, "USEBKNDCOLOR=", YesNo, Object)             \
  ENTRY(UseInternalLoop, "USEINTERNALLOOP=", YesNo, Object)       \
  /* object records: text */                                      \
  ENTRY(Name, "NAME=", Text, Object)                              \
  ENTRY(Font, "FONT=", Text, Object)                              \
  ENTRY(Hint, "HINT=", Text, Object)                              \
  ENTRY(Text, "TEXT=", Text, Object)                              \
  ENTRY(FileName, "FILENAME=", Text, Object)                      \
  ENTRY(VarName, "VARNAME=", Text, Object)                        \
  ENTRY(EditMask, "EDITMASK=", Text, Object)                      \
  ENTRY(UpImage, "UPIMAGE=", Text, Object)                        \
  ENTRY(DownImage, "DOWNIMAGE=", Text, Object)                    \
  ENTRY(OverImage, "OVERIMAGE=", Text, Object)                    \
  ENTRY(LibImage, "LIBIMAGE=", Text, Object)                      \
  ENTRY(ThumbImage, "THUMBIMAGE=", Text, Object)                  \
  ENTRY(TrackImage, "TRACKIMAGE=", Text, Object)                  \
  ENTRY(TitleVarName, "TITLEVARNAME=", Text, Object)              \
  ENTRY(UrlVarName, "URLVARNAME=", Text, Object)                  \
  ENTRY(NavCompAction, "NAVCOMPACTION=", Text, Object)            \
  ENTRY(DropTarget, "DROPTARGET=", Text, Object)                  \
  ENTRY(Points, "POINTS=", Text, Object)                          \
  /* object records: actions */                                   \
  ENTRY(ObjAction, "OBJACTION=", Action, Object)                  \
  ENTRY(ObjRAction, "OBJRACTION=", Action, Object)                \
  ENTRY(ObjEnterAction, "OBJENTERACTION=", Action, Object)        \
  ENTRY(ObjExitAction, "OBJEXITACTION=", Action, Object)          \
  ENTRY(ObjSetFocusAction, "OBJSETFOCUSACTION=", Action, Object)  \
  ENTRY(ObjLoseFocusAction, "OBJLOSEFOCUSACTION=", Action, Object)\
  ENTRY(DblClick, "DBLCLICK=", Action, Object)                    \
  ENTRY(DropAction, "DROPACTION=", Action, Object)                \
  ENTRY(ObjDoneAction, "OBJDONEACTION=", Action, Object)          \
  ENTRY(ObjCancelAction, "OBJCANCELACTION=", Action, Object)      \
  ENTRY(ObjPlayAction, "OBJPLAYACTION=", Action, Object)

enum class TPubKey : uint16_t {
#define VL_KEY_ENUM(id, name, type, group) id,
  VL_PUBLICATION_KEYS(VL_KEY_ENUM)
#undef VL_KEY_ENUM
      Count
};

struct TKeyInfo {
  TPubKey id;
  const char* name;  // upper case, with "=" unless a marker
  TKeyType type;
  TKeyGroup group;
};

// The entry of a key, or nullptr. `key` is the trimmed text up to and
// including the first "=" (or a whole marker line); letter case is ignored.
const TKeyInfo* FindPublicationKey(std::string_view key);
const TKeyInfo& PublicationKeyInfo(TPubKey id);

}  // namespace vl
