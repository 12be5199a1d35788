#!/bin/sh
# The strip CPack runs on the packaged programs: besides the symbols, the
# compiler's version notes (.comment, .note), which Debian's own packaging
# removes as well.
exec strip --remove-section=.comment --remove-section=.note "$@"
