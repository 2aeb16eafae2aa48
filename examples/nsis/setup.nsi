; An installer that runs Brantel.exe before it installs anything and acts on its exit code.
; Build it with NSIS 3 (makensis runs on Windows and on Linux):
;
;   makensis -DPREREQ=<folder> -DOUTFILE=<path>\setup.exe setup.nsi
;
; PREREQ is the folder you ship with Brantel.exe: Brantel.exe, ie_setup_2057.exe,
; ie_setup_1040.exe and, if you need other arguments, BRANTEL.INI. Keep the name setup.exe:
; when the user takes the notice's link, Brantel ends the setup.exe that started it.
Unicode true
; makensis warns that Windows applies its installer shims to a program named setup.exe: that is
; the name Brantel looks for, so the warning is off.
!pragma warning disable 9000
!ifndef PREREQ
  !error "PREREQ is not defined: makensis -DPREREQ=<folder with Brantel.exe> -DOUTFILE=<setup.exe> setup.nsi"
!endif
!ifndef OUTFILE
  !error "OUTFILE is not defined: makensis -DPREREQ=<folder> -DOUTFILE=<path of setup.exe> setup.nsi"
!endif
!if ! /FileExists "${PREREQ}\Brantel.exe"
  !error "${PREREQ} holds no Brantel.exe"
!endif
!include LogicLib.nsh

Name "Example"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Example"
RequestExecutionLevel admin  ; the browser installer needs it; Brantel.exe inherits it
Page directory
Page instfiles

Function .onInit
  ; Brantel.exe looks for the browser installers and BRANTEL.INI beside itself: the whole
  ; folder goes into $PLUGINSDIR, a temporary folder deleted when the installer ends (not when
  ; Brantel ends it after the link: then the folder stays in the user's temporary folder).
  InitPluginsDir
  SetOutPath "$PLUGINSDIR\prereq"
  File /r "${PREREQ}\*"
  ; The notice in the user's language: the user's UI language rather than $LANGUAGE, which is
  ; only ever one of the languages this installer carries. Brantel has 28 of its own and
  ; shows English for any other.
  System::Call "kernel32::GetUserDefaultUILanguage() i .r1"
  ; A silent run (/S) runs Brantel quietly too: no notice, and where one would be needed, the
  ; browser installer with no window at all.
  StrCpy $2 ""
  ${If} ${Silent}
    StrCpy $2 " /quiet"
  ${EndIf}
  ClearErrors
  ExecWait '"$PLUGINSDIR\prereq\Brantel.exe" /l $1$2' $0
  ${If} ${Errors}  ; Brantel.exe did not start, and $0 holds nothing: a fatal error
    StrCpy $0 1603
  ${EndIf}
  SetOutPath $TEMP  ; out of $PLUGINSDIR, so that it can be deleted at the end
  ; -1, the user took the notice's link: ExecWait never returns, Brantel has ended this
  ; installer (exit code 1602, "User cancelled installation"). Should -1 come back all the
  ; same, it stops below, with exit code 2 (NSIS's code for a script that quits):
  ; SetErrorLevel takes -1 for "not set".
  ${If} $0 = 3010
    SetRebootFlag true  ; the browser is installed and needs a restart: install, then ask
  ${ElseIf} $0 <> 0
    MessageBox MB_OK|MB_ICONSTOP \
      "Internet Explorer 8 or later could not be installed (code $0). Setup will exit." /SD IDOK
    SetErrorLevel $0  ; the browser installer's (1602 cancelled, 1603 failed) or Brantel's own
    Quit
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  ; your product's files: File /r "app\*"
  FileOpen $0 "$INSTDIR\example.txt" w
  FileWrite $0 "Installed after the browser check."
  FileClose $0
SectionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    ; 3010: "success, restart needed", as deployment tools read an installer's exit code
    SetErrorLevel 3010
    ${If} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION \
        "Restart Windows now to complete the installation?" /SD IDNO IDYES`
      Reboot
    ${EndIf}
  ${EndIf}
FunctionEnd
