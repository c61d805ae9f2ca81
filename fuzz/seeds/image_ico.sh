#!/bin/sh
# Seeds: the ICO test fixtures, good and broken.
cp "$SOURCE"/tests/images/fixtures/*.ico "$OUT"/
