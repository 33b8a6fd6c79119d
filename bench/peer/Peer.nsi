; The peer: a bootstrapper made with NSIS that does Setup's job with the same
; payload, silently and without compression: write it to the temporary
; folder, run it with the command-line tail, wait, delete it, end with its
; exit code. makensis -DPAYLOAD=<file> -DOUTFILE=<file> Peer.nsi
Unicode true
Target amd64-unicode
SetCompress off
SilentInstall silent
RequestExecutionLevel user
OutFile "${OUTFILE}"

!include "FileFunc.nsh"

Section
  ${GetParameters} $1
  SetOutPath "$TEMP"
  File "/oname=qvltgl.exe" "${PAYLOAD}"
  ExecWait '"$TEMP\qvltgl.exe" $1' $0
  Delete "$TEMP\qvltgl.exe"
  SetErrorLevel $0
SectionEnd
