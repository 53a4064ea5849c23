#!/bin/sh
# Fails when a lower layer includes a higher one: link/ reaches no window or feature, and
# the driver library with what it builds on (protocol/, platform/) knows neither those nor link/.
cd "${1:?source directory}" || exit 2
features='app|display|maintenance|netsetup|cli'
bad=$( (grep -En "#include \"($features)/" link/*.cpp link/*.h
        grep -En "#include \"($features|link)/" driver/*.cpp driver/*.h protocol/*.cpp \
            protocol/*.h platform/*.h platform/*/*.cpp platform/*/*.h) 2>&1)
[ -z "$bad" ] && exit 0
echo "layering broken:"
echo "$bad"
exit 1
