#!/usr/bin/perl

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Copies roff from standard input to standard output with every character beyond ASCII written
# as a groff escape, so that the page reads the same whatever encoding a reader's tools assume.
# With --japanese, groff's Japanese line breaking is loaded after the title line: Japanese text
# has no blanks to break at.
use strict;
use warnings;

binmode(STDIN, ':encoding(UTF-8)');
my $japanese = @ARGV && $ARGV[0] eq '--japanese';
while (my $line = <STDIN>) {
    $line =~ s/([^\x00-\x7F])/sprintf('\[u%04X]', ord($1))/ge;
    print $line;
    print ".mso ja.tmac\n" if $japanese && $line =~ /^\.TH /;
}
