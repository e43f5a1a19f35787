# Turns the export list of telbook.dll into the one a C or C++ host links against: callee-pops
# functions under their decorated names (TL_openDataBase@8), which dlltool --kill-at binds to
# the undecorated names the DLL exports. Run with -DINPUT=telbook.def -DOUTPUT=host.def.
file(READ ${INPUT} def)
string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*) = ([A-Za-z_][A-Za-z0-9_]*@[0-9]+)" "\\2" def "${def}")
file(WRITE ${OUTPUT} "${def}")
