print "hello";
