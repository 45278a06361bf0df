#!/usr/bin/perl
# Writes a synthetic forum site for the site benchmark: SCRIPTS .cgi scripts of about BYTES bytes
# each, in code page 936 with CR LF line ends, made like the package's scripts (start-up block,
# the package's use line, require statements, Chinese messages, uses of the module by name). The
# four upload scripts carry the upload code; one script in ten is the site's own and never
# mentions the package. Deterministic: the same arguments give the same bytes.
#
#   perl bench/make_site.pl FOLDER [SCRIPTS] [BYTES]
use strict;
use warnings;
use Encode qw(encode);
use File::Path qw(make_path);

my ($folder, $count, $size) = @ARGV;
die "usage: make_site.pl FOLDER [SCRIPTS] [BYTES]\n" unless defined $folder;
$count //= 2000;
$size  //= 52_000;
make_path($folder);

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
length($bootstrap) == 373 or die "start-up block has " . length($bootstrap) . " characters\n";

# Chinese messages of the kind the scripts print (GB2312 characters only).
my @messages = map { encode('cp936', $_) } (
    "\x{8BF7}\x{5148}\x{767B}\x{5F55}\x{FF01}",                        # 请先登录！
    "\x{5E16}\x{5B50}\x{5DF2}\x{7ECF}\x{53D1}\x{8868}\x{3002}",        # 帖子已经发表。
    "\x{627E}\x{4E0D}\x{5230}\x{8FD9}\x{4E2A}\x{7248}\x{9762}\x{FF01}",  # 找不到这个版面！
    "\x{6E05}\x{98CE}\x{8BBA}\x{575B}\x{6B22}\x{8FCE}\x{60A8}",        # 清风论坛欢迎您
    "\x{7528}\x{6237}\x{540D}\x{6216}\x{5BC6}\x{7801}\x{9519}\x{8BEF}",  # 用户名或密码错误
);

my @upload_post = (
    q(sub save_attachment {),
    q(    my $up_filename =$query->uploadInfo($addme);),
    q(    my ($up_name,$up_ext) = split(/\./,$up_filename);),
    q(    open (UPLOAD, ">$uploaddir/$topicid.$up_ext");),
    q(    binmode UPLOAD;),
    q(    while ($buffer=$query->readUploadFile($addme)) {),
    q(        print UPLOAD $buffer;),
    q(    }),
    q(    close (UPLOAD);),
    q(}),
);
my @upload_profile = (
    q(sub save_face {),
    q(    my $filename =$query->uploadInfo($addme);),
    q(    open (FACE, ">$facedir/$membername-$filename");),
    q(    binmode FACE;),
    q(    while ($buffer=$query->readUploadFile($addme)) {),
    q(        print FACE $buffer;),
    q(    }),
    q(    close (FACE);),
    q(}),
);

my @names = qw(post.cgi postings.cgi profile.cgi register.cgi);
push @names, sprintf("page%04d.cgi", $_) for (1 .. $count - @names);

my $seed = 7;
sub next_random { $seed = ($seed * 1103515245 + 12345) % 2147483648; return $seed; }

for my $index (0 .. $#names) {
    my $name = $names[$index];
    my $own = $index >= 4 && $index % 10 == 9;    # the site's own script, no marker
    my @lines = ("#!/usr/bin/perl", "# $messages[3] -- $name");
    if (!$own) {
        push @lines, $bootstrap, "use KQCGI;", 'require "forum_setup.pl";',
            'require "forum_lib.pl";', 'require "forum_skin.pl";', "";
        push @lines, '$query = new KQCGI;', '$KQCGI::POST_MAX = 1024 * 200;';
    } else {
        push @lines, "use strict;", "";
    }
    push @lines, '$addme = $query->param(\'addme\');' unless $own;
    if ($name eq 'post.cgi' || $name eq 'postings.cgi') { push @lines, @upload_post; }
    if ($name eq 'profile.cgi' || $name eq 'register.cgi') { push @lines, @upload_profile; }
    my $text = join("\r\n", @lines) . "\r\n";
    my $sub = 0;
    while (length($text) < $size) {
        my $message = $messages[next_random() % @messages];
        my $n = next_random() % 1000;
        $text .= join("\r\n",
            "sub handler_$sub {",
            "    my (\$forum, \$topic) = \@_;",
            "    my \$count = $n;",
            "    if (\$forum eq \"\") { &error(\"$message\"); }",
            "    open (DATA, \"\$datadir/\$forum/\$topic.txt\") or &error(\"$message\");",
            "    my \@lines = <DATA>;",
            "    close (DATA);",
            "    print \"<p>$message \$count</p>\\n\";",
            "    return scalar(\@lines);",
            "}", "") . "\r\n";
        $sub++;
    }
    open(my $out, '>:raw', "$folder/$name") or die "cannot write $folder/$name: $!\n";
    print $out $text;
    close($out) or die "cannot write $folder/$name: $!\n";
}
