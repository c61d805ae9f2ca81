#!/bin/sh
# Seeds: the PCX test fixtures, good and broken.
cp "$SOURCE"/tests/images/fixtures/*.pcx "$OUT"/
