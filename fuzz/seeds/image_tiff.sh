#!/bin/sh
# Seeds: the TIFF test fixtures, good and broken.
cp "$SOURCE"/tests/images/fixtures/*.tif "$OUT"/
