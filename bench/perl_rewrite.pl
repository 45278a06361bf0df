#!/usr/bin/perl
# The conversion done the way an administrator would do it by hand: a Perl script with regular
# expressions, in place, over every .cgi script of a folder. It makes the same library switch
# (start-up block removed, use line switched, module renamed, require statements wrapped in the
# eval block) and the same upload rewrite of the four upload scripts as kqconvert, so that the
# site benchmark can compare the two on the same work and check that their results agree.
#
# It works on bytes: a case-insensitive match can start or end inside a double-byte character
# of code page 936, which kqconvert never allows. The benchmark's site holds no such trap.
#
#   perl bench/perl_rewrite.pl FOLDER
use strict;
use warnings;

my $folder = shift or die "usage: perl_rewrite.pl FOLDER\n";

my $bootstrap = join("\r\n",
    q(BEGIN {),
    q(    $KQPATH = '.';),
    q(    my $pgm = $0;),
    q(    $pgm =~s/\\\\/\\//g;),
    q(    $pgm =~s/^.*\\/([^\\/]+)$/$1/g;),
    q(    unless (-e $KQPATH.'/'.$pgm) {),
    q(        foreach ($0, $ENV{'SCRIPT_FILENAME'}, $ENV{'PATH_TRANSLATED'}) {),
    q(            s!\\\\!/!g; s/^(.*)\\/[^\\/]+$/$1/g;),
    q(            if (-e $_ . '/' .$pgm) { $KQPATH = $_; last; }),
    q(        }),
    q(    }),
    q(    unshift (@INC, "$KQPATH");),
    q(}));
my $eval_prefix = join("\r\n",
    q(eval {),
    q(($0 =~ m,(.*)/[^/]+,)   and unshift (@INC, "$1");),
    q(($0 =~ m,(.*)\\\\[^\\\\]+,) and unshift (@INC, "$1");),
    q(($0 =~ m,[/\\\\],)        or unshift (@INC, ".");));
# "KQ7100 出错！", "不能够找到文件：" and "请更改每个程序中的 require 语句，填入绝对路径！" in code page 936.
my $eval_suffix = join("\r\n",
    q(};),
    q(if (my $err = $@) {),
    qq(    print header(-charset=>gb2312); print start_html(-title=>"KQ7100 \xB3\xF6\xB4\xED\xA3\xA1");),
    qq(    print "\xB2\xBB\xC4\xDC\xB9\xBB\xD5\xD2\xB5\xBD\xCE\xC4\xBC\xFE\xA3\xBA\$err\\n)
        . qq(\xC7\xEB\xB8\xFC\xB8\xC4\xC3\xBF\xB8\xF6\xB3\xCC\xD0\xF2\xD6\xD0\xB5\xC4 require )
        . qq(\xD3\xEF\xBE\xE4\xA3\xAC\xCC\xEE\xC8\xEB\xBE\xF8\xB6\xD4\xC2\xB7\xBE\xB6\xA3\xA1";),
    q(    print end_html; exit;),
    q(}));
my $post_block = join("\r\n",
    q($addme=~ s/\n//g;),
    q(my $up_filename =$addme;),
    q(@up_name = split(/\./,$up_filename);),
    q($up_ext = $up_name[-1];));
my $profile_block = join("\r\n",
    q($addme=~ s/\n//g;),
    q(my $up_filename =$addme;),
    q(my @up_name = split(/\./,$up_filename);),
    q($filename = $up_name[-1];),
    q($filename = lc($filename);));
my $post_name_line = q(my $up_filename =$query->uploadInfo($addme););
my $post_split_line = q(my ($up_name,$up_ext) = split(/\./,$up_filename););
my $profile_name_line = q(my $filename =$query->uploadInfo($addme););
my $new_read_loop = q(while ($bytesread=read($addme,$buffer,1024)) {);

# The offsets of the require statements that do not stand on a comment line.
sub real_openers {
    my ($text) = @_;
    my @found;
    while ($text =~ /require "/gi) {
        my $at = $-[0];
        my ($cr, $lf) = (rindex($text, "\r", $at - 1), rindex($text, "\n", $at - 1));
        my $start = ($cr > $lf ? $cr : $lf) + 1;
        push @found, $at unless substr($text, $start, $at - $start) =~ /\A[ \t]*#/;
    }
    return @found;
}

# The library switch; undef when there is no require block to wrap.
sub switch_library {
    my ($text) = @_;
    $text =~ s/\Q$bootstrap\E//gi;
    $text =~ s/use KQCGI;/use CGI qw(:standard);/gi;
    $text =~ s/kqcgi/CGI/gi;
    my @openers = real_openers($text);
    return undef unless @openers;
    my $x = $openers[0] - 1;              # the character before the first require statement
    return undef if $x < 0;
    my $d = index($text, '$', $x);        # the first dollar sign from there
    return undef if $d <= $x;
    my ($r) = grep { $_ < $d } reverse @openers;    # the last require statement before it
    my $q = index($text, ';', $r);        # the end of that statement
    return undef if $q < 0;
    return substr($text, 0, $x + 1) . $eval_prefix . substr($text, $x, $q - $x)
        . $eval_suffix . substr($text, $q + 1);
}

sub rewrite_upload {
    my ($text, $post) = @_;
    if ($post) {
        $text =~ s/\Q$post_name_line\E//gi;
        $text =~ s/\Q$post_split_line\E/$post_block/g;
    } else {
        $text =~ s/\Q$profile_name_line\E/$profile_block/gi;
    }
    if ($text =~ /(while \(\$buffer=\$query->readUploadFile[^\r\n]*)/i) {
        my $old = $1;
        $text =~ s/\Q$old\E/$new_read_loop/gi;
    }
    return $text;
}

opendir(my $dir, $folder) or die "cannot read $folder: $!\n";
my @scripts = sort grep { /\.cgi\z/ && !/\A\./ && -f "$folder/$_" } readdir($dir);
closedir($dir);
my %upload = ('post.cgi' => 1, 'postings.cgi' => 1, 'profile.cgi' => 0, 'register.cgi' => 0);
for my $name (@scripts) {
    my $path = "$folder/$name";
    open(my $in, '<:raw', $path) or die "cannot read $path: $!\n";
    my $text = do { local $/; <$in> };
    close($in);
    next unless $text =~ /kqcgi/i;
    my $converted = switch_library($text);
    if (!defined $converted) {
        warn "$name: no require block, left alone\n";
        next;
    }
    $converted = rewrite_upload($converted, $upload{$name}) if exists $upload{$name};
    open(my $out, '>:raw', $path) or die "cannot write $path: $!\n";
    print $out $converted;
    close($out) or die "cannot write $path: $!\n";
}
