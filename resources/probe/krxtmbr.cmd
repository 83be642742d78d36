@echo off
for /f "tokens=1,2,* delims= " %%a in ('echo list disk^|diskpart^|find /i "B"') do (
  (echo,%%c|find /i "*" >nul 2>nul) && (
     echo %%a %%b 1
  ) || (
     echo %%a %%b 0
  )
)