@ECHO OFF
REM Korvane start-up script of krldr.ima. Windows staged a job at the root of one hard-disk
REM volume (the work drive); this takes the job over, undoes the one-time boot entry there
REM and runs the job's Ghost batch from this floppy.
REM Only IF EXIST, SET, COPY, DEL, GOTO and CALL: no FOR, which some DOS shells lack.

REM The packager's batch loads the disk, NTFS and long-name drivers: without it the
REM Windows volumes are not DOS drives. CALL, so that it comes back here.
IF EXIST A:\DRIVERS.BAT CALL A:\DRIVERS.BAT

REM The Ghost batch names Ghost.exe without a drive, and the drivers' batch may have
REM left another drive current.
SET PATH=A:\;%PATH%
REM Some DOS versions ask before COPY replaces a file; nobody is there to answer.
SET COPYCMD=/Y
REM ATTRIB is not in every DOS: the image root's, if it has one; else no attributes change.
SET KA=A:\ATTRIB.COM
IF EXIST A:\ATTRIB.EXE SET KA=A:\ATTRIB.EXE

REM The work drive: the last drive whose root holds krldr.ima. One line a letter, each
REM later match replacing the earlier one.
SET KW=
IF EXIST C:\KRLDR.IMA SET KW=C:
IF EXIST D:\KRLDR.IMA SET KW=D:
IF EXIST E:\KRLDR.IMA SET KW=E:
IF EXIST F:\KRLDR.IMA SET KW=F:
IF EXIST G:\KRLDR.IMA SET KW=G:
IF EXIST H:\KRLDR.IMA SET KW=H:
IF EXIST I:\KRLDR.IMA SET KW=I:
IF EXIST J:\KRLDR.IMA SET KW=J:
IF EXIST K:\KRLDR.IMA SET KW=K:
IF EXIST L:\KRLDR.IMA SET KW=L:
IF EXIST M:\KRLDR.IMA SET KW=M:
IF EXIST N:\KRLDR.IMA SET KW=N:
IF EXIST O:\KRLDR.IMA SET KW=O:
IF EXIST P:\KRLDR.IMA SET KW=P:
IF EXIST Q:\KRLDR.IMA SET KW=Q:
IF EXIST R:\KRLDR.IMA SET KW=R:
IF EXIST S:\KRLDR.IMA SET KW=S:
IF EXIST T:\KRLDR.IMA SET KW=T:
IF EXIST U:\KRLDR.IMA SET KW=U:
IF EXIST V:\KRLDR.IMA SET KW=V:
IF EXIST W:\KRLDR.IMA SET KW=W:
IF EXIST X:\KRLDR.IMA SET KW=X:
IF EXIST Y:\KRLDR.IMA SET KW=Y:
IF EXIST Z:\KRLDR.IMA SET KW=Z:

REM No work drive, or no job on it: change nothing. With KW empty the first test looks
REM at the current drive's root, which cannot hold krldr.ima when no drive C-Z did.
IF NOT EXIST %KW%\KRLDR.IMA GOTO NOJOB
IF NOT EXIST %KW%\GHOST.BA_ GOTO NOJOB

REM The batch moves to the floppy: Ghost may rewrite the work drive, and a second boot
REM of this image must not find the job again.
COPY %KW%\GHOST.BA_ A:\GHOST.BAT
DEL %KW%\GHOST.BA_

REM Staging saved boot.ini and the BCD store before adding the one-time entry: put them
REM back. Any of these files may be hidden, system or read-only, which COPY and DEL
REM refuse: their attributes go first.
IF EXIST %KA% %KA% -R -H -S %KW%\BOOT.IN_
IF NOT EXIST %KW%\BOOT.IN_ GOTO BCD
IF EXIST %KA% %KA% -R -H -S %KW%\BOOT.INI
COPY %KW%\BOOT.IN_ %KW%\BOOT.INI
DEL %KW%\BOOT.IN_
:BCD
IF EXIST %KA% %KA% -R -H -S %KW%\BOOT\BCD_
IF NOT EXIST %KW%\BOOT\BCD_ GOTO LOADER
IF EXIST %KA% %KA% -R -H -S %KW%\BOOT\BCD
COPY %KW%\BOOT\BCD_ %KW%\BOOT\BCD
DEL %KW%\BOOT\BCD_

REM Our loader files go; the ones staging found in their place (saved as *_) return.
:LOADER
IF EXIST %KA% %KA% -R -H -S %KW%\KRLDR.IMA
IF EXIST %KW%\KRLDR.IMA DEL %KW%\KRLDR.IMA
IF EXIST %KA% %KA% -R -H -S %KW%\KRLDR
IF EXIST %KW%\KRLDR DEL %KW%\KRLDR
IF EXIST %KA% %KA% -R -H -S %KW%\KRLDR.MBR
IF EXIST %KW%\KRLDR.MBR DEL %KW%\KRLDR.MBR
IF EXIST %KA% %KA% -R -H -S %KW%\KRLDR.IM_
IF EXIST %KW%\KRLDR.IM_ COPY %KW%\KRLDR.IM_ %KW%\KRLDR.IMA
IF EXIST %KW%\KRLDR.IM_ DEL %KW%\KRLDR.IM_
IF EXIST %KA% %KA% -R -H -S %KW%\KRLDR_
IF EXIST %KW%\KRLDR_ COPY %KW%\KRLDR_ %KW%\KRLDR
IF EXIST %KW%\KRLDR_ DEL %KW%\KRLDR_
IF EXIST %KA% %KA% -R -H -S %KW%\KRLDR.MB_
IF EXIST %KW%\KRLDR.MB_ COPY %KW%\KRLDR.MB_ %KW%\KRLDR.MBR
IF EXIST %KW%\KRLDR.MB_ DEL %KW%\KRLDR.MB_

REM Windows makes these anew at start-up; a backup would carry gigabytes of swap and a
REM stale hibernation for nothing, and a restore could resume from that stale one.
IF EXIST %KA% %KA% -R -H -S %KW%\BOOTLOG.TXT
IF EXIST %KW%\BOOTLOG.TXT DEL %KW%\BOOTLOG.TXT
IF EXIST %KA% %KA% -R -H -S %KW%\HIBERFIL.SYS
IF EXIST %KW%\HIBERFIL.SYS DEL %KW%\HIBERFIL.SYS
IF EXIST %KA% %KA% -R -H -S %KW%\PAGEFILE.SYS
IF EXIST %KW%\PAGEFILE.SYS DEL %KW%\PAGEFILE.SYS

REM Last, the job: Ghost, then a restart. Started without CALL, as it never returns.
IF EXIST A:\GHOST.BAT A:\GHOST.BAT
ECHO Korvane: the Ghost batch could not be copied to A:, nothing was run.
GOTO END

:NOJOB
ECHO Korvane: no job staged on any drive; nothing was changed.
:END
