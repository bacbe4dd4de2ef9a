autocmd BufNewFile,BufRead *.nuv setfiletype nuv
