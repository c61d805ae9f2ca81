#!/bin/sh
# Seeds: the GIF test fixtures, good and broken.
cp "$SOURCE"/tests/images/fixtures/*.gif "$OUT"/
