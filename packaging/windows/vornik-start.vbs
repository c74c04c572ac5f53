' Start-menu entry "Конфигуратор Ворник": starts vornik-cli serve in the
' background, in the user's own folder (store bd\, settings, token, log), and
' opens the web page with the token. A service already running keeps running:
' the second one finds the port taken and ends.
Option Explicit
Dim sh, fs, program, state, tokenFile, token, i
Set sh = CreateObject("WScript.Shell")
Set fs = CreateObject("Scripting.FileSystemObject")
program = fs.GetParentFolderName(WScript.ScriptFullName) & "\vornik-cli.exe"
state = sh.ExpandEnvironmentStrings("%LOCALAPPDATA%") & "\Vornik"
If Not fs.FolderExists(state) Then fs.CreateFolder state
sh.CurrentDirectory = state
tokenFile = state & "\vornik-serve.token"
sh.Run """" & program & """ serve", 0, False
For i = 1 To 100
  If fs.FileExists(tokenFile) Then Exit For
  WScript.Sleep 100
Next
If Not fs.FileExists(tokenFile) Then
  MsgBox "Служба vornik-cli serve не запустилась.", vbCritical, "Конфигуратор Ворник"
  WScript.Quit 1
End If
token = Trim(fs.OpenTextFile(tokenFile).ReadLine)
WScript.Sleep 500
sh.Run "http://127.0.0.1:8765/#token=" & token
