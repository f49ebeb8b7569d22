<%@ Language="VBScript" %>
<html>
<head><title>Hello</title></head>
<body>
<h1><% Response.Write "Hello from Wendrel" %></h1>
<p>The time on the server is <%= Time() %>.</p>
</body>
</html>
