GET FILE='/work/wt-dict/src/cli/conformance/dictionary/pspp_dictionary.sav'.
DISPLAY DICTIONARY.
DISPLAY @ATTRIBUTES.
MRSETS /DISPLAY NAME=ALL.
