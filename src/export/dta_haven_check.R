# Reads a Stata export back with R haven and compares it with the CSV export
# of the same data (raw values):
#   Rscript dta_haven_check.R DTA CSV [TAGS]
# Column by column in order: names equal where the name is already valid for
# Stata; text equal; numbers the same double; a plain NA where the CSV field
# is empty; a tagged NA (.a, .b, .c) only where the CSV has a value (a
# user-missing one); dates the same day, date-times (and times, as
# date-times of 1960-01-01) the same millisecond. TAGS ("column:row:tag,...")
# names cells that must be tagged so. Exits 1 with the first difference.
suppressPackageStartupMessages(library(haven))
args <- commandArgs(trailingOnly = TRUE)
fail <- function(...) {
  cat(args[1], ": ", ..., "\n", sep = "")
  quit(status = 1)
}
d <- read_dta(args[1])
csv <- read.csv(args[2], colClasses = "character", check.names = FALSE, na.strings = NULL,
                encoding = "UTF-8")
if (ncol(d) != ncol(csv)) fail(ncol(d), " columns, the CSV has ", ncol(csv))
if (nrow(d) != nrow(csv)) fail(nrow(d), " rows, the CSV has ", nrow(csv))
valid <- grepl("^[A-Za-z_][A-Za-z0-9_]{0,31}$", names(csv))
bad <- valid & names(d) != names(csv)
if (any(bad)) fail("names ", paste(names(d)[bad], collapse = " "), " != ",
                   paste(names(csv)[bad], collapse = " "))
spss1970 <- 12219379200
for (c in seq_len(ncol(d))) {
  x <- d[[c]]
  field <- csv[[c]]
  where <- function(r) paste0("row ", r, ", ", names(csv)[c])
  if (is.character(x)) {
    r <- which(x != field)
    if (length(r)) fail(where(r[1]), ": '", x[r[1]], "' != '", field[r[1]], "'")
    next
  }
  raw <- suppressWarnings(as.numeric(field))
  tagged <- is_tagged_na(x)
  plain <- is.na(x) & !tagged
  r <- which(plain != (field == ""))
  if (length(r)) fail(where(r[1]), ": NA against '", field[r[1]], "'")
  r <- which(tagged & field == "")
  if (length(r)) fail(where(r[1]), ": a tagged NA where the data has none")
  ok <- !is.na(x)
  if (inherits(x, "Date")) {
    want <- floor((raw - spss1970) / 86400)
    got <- as.numeric(x)
  } else if (inherits(x, "POSIXct")) {
    fmt <- attr(x, "format.stata")
    time <- !is.null(fmt) && grepl("HH:MM:SS", fmt)
    want <- if (time) raw - 315619200 else raw - spss1970
    got <- as.numeric(x)
    ok <- ok & abs(got - want) > 5e-4
    r <- which(ok)
    if (length(r)) fail(where(r[1]), ": ", format(x[r[1]]), " != ", field[r[1]])
    next
  } else {
    want <- raw
    got <- as.numeric(unclass(x))
  }
  r <- which(ok & got != want)
  if (length(r)) fail(where(r[1]), ": ", got[r[1]], " != ", field[r[1]])
}
if (length(args) > 2 && nchar(args[3])) {
  for (t in strsplit(args[3], ",")[[1]]) {
    p <- strsplit(t, ":")[[1]]
    x <- d[[p[1]]][as.integer(p[2])]
    if (!is_tagged_na(x, p[3])) fail(p[1], " row ", p[2], ": not NA(", p[3], ")")
  }
}
cat(args[1], ": ", nrow(d), " rows equal\n", sep = "")
