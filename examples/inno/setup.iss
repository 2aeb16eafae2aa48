; An installer that runs Brantel.exe before it installs anything and acts on its exit code.
; Build it with Inno Setup 6 (its compiler runs on Windows, and under Wine):
;
;   ISCC /DPREREQ=<folder> /O<output folder> setup.iss
;
; PREREQ is the folder you ship with Brantel.exe: Brantel.exe, ie_setup_2057.exe,
; ie_setup_1040.exe and, if you need other arguments, BRANTEL.INI. The installer is
; <output folder>\setup.exe: keep that name, the one Brantel ends when the user takes the
; notice's link.
#ifndef PREREQ
  #error PREREQ is not defined: ISCC /DPREREQ=<folder with Brantel.exe> /O<output folder> setup.iss
#endif
#if !FileExists(AddBackslash(PREREQ) + "Brantel.exe")
  #error PREREQ holds no Brantel.exe
#endif

[Setup]
AppName=Example
AppVersion=1.0
DefaultDirName={autopf}\Example
; the browser installer needs it; Brantel.exe inherits it
PrivilegesRequired=admin
OutputBaseFilename=setup
Uninstallable=no
DisableProgramGroupPage=yes

[Files]
; Brantel.exe looks for the browser installers and BRANTEL.INI beside itself: the whole folder
; goes to {tmp}, a temporary folder deleted when the installer ends.
Source: "{#PREREQ}\*"; Flags: dontcopy
; your product's files
Source: "{#SourcePath}\setup.iss"; DestDir: "{app}"; DestName: "example.txt"

[Code]
var
  RestartNeeded: Boolean;

// Brantel runs before the wizard shows anything, as NSIS's .onInit runs it. The notice in the
// user's UI language: Brantel has 28 of its own and shows English for any other. A silent run
// (/SILENT, /VERYSILENT) runs Brantel quietly too: no notice, and where one would be needed, the
// browser installer with no window at all.
function InitializeSetup(): Boolean;
var
  Params: String;
  Code: Integer;
begin
  Result := True;
  ExtractTemporaryFiles('*');
  Params := '/l ' + IntToStr(GetUILanguage);
  if WizardSilent then
    Params := Params + ' /quiet';
  if not Exec(ExpandConstant('{tmp}\Brantel.exe'), Params, '', SW_SHOW, ewWaitUntilTerminated,
              Code) then
    Code := 1603;  { Brantel.exe did not start: a fatal error }
  case Code of
    0: Result := True;
    3010: RestartNeeded := True;  { the browser is installed and needs a restart: install, then ask }
    -1: begin
      { The user took the notice's link, and Brantel has ended this installer's setup.exe with
        1602; this wizard (setup.tmp, which setup.exe started) stops too. }
      SuppressibleMsgBox('Please install Internet Explorer 8 or later and run this setup again.',
                         mbInformation, MB_OK, IDOK);
      Result := False;
    end;
  else begin
    SuppressibleMsgBox('Internet Explorer 8 or later could not be installed (code ' +
                       IntToStr(Code) + '). Setup will exit.', mbCriticalError, MB_OK, IDOK);
    Result := False;
  end;
  end;
end;

// 3010: Setup asks for a restart at the end; a silent run with /NORESTART /RESTARTEXITCODE=3010
// ends with 3010, "success, restart needed", as deployment tools read it.
function NeedRestart(): Boolean;
begin
  Result := RestartNeeded;
end;
